#include "common/wayland/session_platform.h"

#include <cstdio>

#include "common/wayland/wayland_connection.h"

namespace mirevo {

Result<Platform, PlatformRefusal> chooseSessionPlatform(const std::string& program, int wakeFd,
                                                        CompositorWait wait) {
    return choosePlatform(
        platformEnvironment(), [wakeFd](std::chrono::milliseconds limit) { return probeWaylandCompositor(limit, wakeFd); },
        [](const std::string& line) {
            std::fprintf(stderr, "%s\n", line.c_str());
            std::fflush(stderr);
        },
        program, wait);
}

} // namespace mirevo
