#include "common/platform_choice.h"

#include <cstdlib>

namespace mirevo {

Result<Platform, std::string> choosePlatform(const PlatformEnvironment& environment,
                                             const std::function<bool()>& waylandAnswers,
                                             const std::string& program) {
    const std::string& forced = environment.forced;
    if (forced == "x11") return Platform::X11;
    const bool named = !environment.waylandDisplay.empty();
    if (forced == "wayland") {
        if (named && waylandAnswers()) return Platform::Wayland;
        return Failure(program + ": MIREVO_PLATFORM=wayland, but " +
                       (named ? "no Wayland compositor answers at \"" + environment.waylandDisplay + "\""
                              : std::string("WAYLAND_DISPLAY is not set")) +
                       ".");
    }
    if (!forced.empty())
        return Failure(program + ": MIREVO_PLATFORM=" + forced + " names no platform (x11 or wayland).");
    return named && waylandAnswers() ? Platform::Wayland : Platform::X11;
}

PlatformEnvironment platformEnvironment() {
    const char* forced = std::getenv("MIREVO_PLATFORM");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return {forced ? forced : "", wayland ? wayland : ""};
}

const char* platformName(Platform platform) {
    return platform == Platform::Wayland ? "wayland" : "x11";
}

} // namespace mirevo
