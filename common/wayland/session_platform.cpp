#include "common/wayland/session_platform.h"

#include <cstdio>

#include "common/wayland/wayland_connection.h"

namespace mirevo {

Result<ChosenPlatform, PlatformRefusal> chooseSessionPlatform(const std::string& program, int wakeFd,
                                                              CompositorWait wait) {
    std::unique_ptr<WaylandConnection> answered;
    const auto probe = [&](std::chrono::milliseconds limit) {
        std::string why;
        WaylandAnswer answer = WaylandAnswer::Absent;
        answered = WaylandConnection::connect(limit, why, wakeFd, &answer);
        return answer;
    };
    const auto say = [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    };
    auto platform = choosePlatform(platformEnvironment(), probe, say, program, wait);
    if (!platform) return Failure(platform.reason());
    ChosenPlatform chosen;
    chosen.platform = *platform;
    if (*platform == Platform::Wayland) chosen.compositor = std::move(answered);
    return chosen;
}

} // namespace mirevo
