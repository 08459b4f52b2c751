#include "common/wayland/session_platform.h"

#include "common/log.h"
#include "common/wayland/wayland_connection.h"

namespace mirevo {

Result<ChosenPlatform, PlatformRefusal> chooseSessionPlatform(int wakeFd, CompositorWait wait) {
    std::unique_ptr<WaylandConnection> answered;
    const auto probe = [&](std::chrono::milliseconds limit) {
        auto connected = WaylandConnection::connect(limit, wakeFd);
        if (!connected) return connected.reason().answer;
        answered = std::move(*connected);
        return WaylandAnswer::Answers;
    };
    auto platform = choosePlatform(platformEnvironment(), probe, logWarning, wait);
    if (!platform) return Failure(platform.reason());
    logDebug(std::string("platform: ") + platformName(platform->platform) + " (" + platform->why + ")");
    ChosenPlatform chosen;
    chosen.platform = platform->platform;
    if (chosen.platform == Platform::Wayland) chosen.compositor = std::move(answered);
    return chosen;
}

} // namespace mirevo
