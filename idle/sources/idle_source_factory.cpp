#include "idle/sources/idle_source_factory.h"

#include "common/log.h"
#include "common/posix/posix_stop_signals.h"
#include "common/wayland/session_platform.h"
#include "common/wayland/wayland_connection.h"
#include "idle/daemon/idle_timeout.h"
#include "idle/sources/qt_mutter_idle_source.h"
#include "idle/sources/wayland_idle_source.h"
#include "idle/sources/x11_idle_source.h"

namespace mirevo {

Result<OpenedSessionIdleSource, std::string> openSessionIdleSource(const IdleSourceRequest& request) {
    // A stop while the compositor is waited for ends the wait; the caller sees stopRequested(). The
    // connection that answered the choice is the one the compositor's source uses.
    auto platform = chooseSessionPlatform(stopSignalFd());
    if (!platform) return Failure(platform.reason().line);
    std::unique_ptr<WaylandConnection> compositor = std::move(platform->compositor);
    if (platform->platform == Platform::X11) {
        auto opened = X11IdleSource::open();
        if (!opened) return Failure(opened.reason());
        if (request.timeoutSeconds) (*opened)->setTimeoutSeconds(*request.timeoutSeconds);
        OpenedSessionIdleSource x11;
        x11.source = std::move(*opened);
        x11.name = "the X server's screen-saver timer";
        logDebug("idle source: " + x11.name + " (the platform is X11)");
        return x11;
    }

    if (!compositor) {
        // Wayland forced without asking: the source's own connection, with the choice's deadline.
        auto connected = WaylandConnection::connect(request.deadline, stopSignalFd());
        if (!connected) return Failure(connected.reason().why);
        compositor = std::move(*connected);
    }
    const bool compositorLocks = compositor->globalVersion("ext_session_lock_manager_v1") > 0 ||
                                 (compositor->globalVersion("zwlr_layer_shell_v1") > 0 &&
                                  compositor->globalVersion("zwlr_input_inhibit_manager_v1") > 0);
    const int seconds = request.timeoutSeconds.value_or(kDefaultWaylandTimeoutMinutes * 60);
    const std::vector<IdleSourceOpener> candidates = {
        [&]() -> Result<OpenedIdleSource, std::string> {
            auto opened = WaylandIdleSource::open(compositor, seconds);
            if (!opened) {
                if (opened.reason().empty())
                    logDebug("idle source: the compositor offers neither ext-idle-notify-v1 nor "
                             "org_kde_kwin_idle");
                return Failure(opened.reason());
            }
            const std::string name = std::string("the Wayland compositor (") +
                                     waylandIdleProtocolName((*opened)->protocol()) + ")";
            return OpenedIdleSource{std::move(*opened), name};
        },
        [&]() -> Result<OpenedIdleSource, std::string> {
            auto opened = QtMutterIdleSource::open(request.busAddress, seconds, request.deadline);
            if (!opened) {
                if (opened.reason().empty())
                    logDebug(request.busAddress.empty() ? "idle source: no session bus to ask GNOME's idle monitor on"
                                                        : "idle source: no GNOME idle monitor serves the session bus");
                return Failure(opened.reason());
            }
            return OpenedIdleSource{std::move(*opened),
                                    "GNOME's idle monitor (org.gnome.Mutter.IdleMonitor)"};
        }};
    auto opened = openFirstIdleSource(
        candidates, noWaylandIdleSourceLine(waylandSocketName(), !request.busAddress.empty()));
    if (!opened) return Failure(opened.reason());
    OpenedSessionIdleSource wayland;
    wayland.source = std::move(opened->source);
    wayland.name = std::move(opened->name);
    wayland.wayland = true;
    wayland.compositorLocks = compositorLocks;
    logDebug("idle source: " + wayland.name + " (the first of ext-idle-notify-v1, org_kde_kwin_idle and GNOME's "
             "idle monitor that this Wayland session offers)");
    return wayland;
}

} // namespace mirevo
