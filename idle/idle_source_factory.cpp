#include "idle/idle_source_factory.h"

#include "common/posix/posix_stop_signals.h"
#include "common/wayland/session_platform.h"
#include "common/wayland/wayland_connection.h"
#include "idle/idle_timeout.h"
#include "idle/qt_mutter_idle_source.h"
#include "idle/wayland_idle_source.h"
#include "idle/x11_idle_source.h"

namespace mirevo {

Result<OpenedSessionIdleSource, std::string> openSessionIdleSource(IdleSourceRequest request) {
    // A stop while the compositor is waited for ends the wait; the caller sees stopRequested().
    const auto platform = chooseSessionPlatform("mirevo-idle", stopSignalFd());
    if (!platform) return Failure(platform.reason().line);

    if (*platform == Platform::X11) {
        auto opened = X11IdleSource::open(request.events);
        if (!opened) return Failure(opened.reason());
        if (request.timeoutSeconds) (*opened)->setTimeoutSeconds(*request.timeoutSeconds);
        OpenedSessionIdleSource x11;
        x11.source = std::move(*opened);
        x11.name = "the X server's screen-saver timer";
        return x11;
    }

    const int seconds = request.timeoutSeconds.value_or(kDefaultWaylandTimeoutMinutes * 60);
    const std::vector<IdleSourceOpener> candidates = {
        [&]() -> Result<OpenedIdleSource, std::string> {
            auto opened = WaylandIdleSource::open(request.events, seconds);
            if (!opened) return Failure(opened.reason());
            const std::string name =
                std::string("the Wayland compositor (") + waylandIdleProtocolName((*opened)->protocol()) + ")";
            return OpenedIdleSource{std::move(*opened), name};
        },
        [&]() -> Result<OpenedIdleSource, std::string> {
            auto opened = QtMutterIdleSource::open(request.busAddress, request.events, seconds, request.deadline);
            if (!opened) return Failure(opened.reason());
            return OpenedIdleSource{std::move(*opened), "GNOME's idle monitor (org.gnome.Mutter.IdleMonitor)"};
        }};
    auto opened =
        openFirstIdleSource(candidates, noWaylandIdleSourceLine(waylandSocketName(), !request.busAddress.empty()));
    if (!opened) return Failure(opened.reason());
    OpenedSessionIdleSource wayland;
    wayland.source = std::move(opened->source);
    wayland.name = std::move(opened->name);
    wayland.wayland = true;
    return wayland;
}

} // namespace mirevo
