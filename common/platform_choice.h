#pragma once
// Which desktop a program of ours talks to: Wayland when WAYLAND_DISPLAY names a compositor that answers,
// X11 otherwise; MIREVO_PLATFORM=x11|wayland forces one. Plain logic: the caller says whether a compositor
// answers, so the choice is tested without one.
#include <functional>
#include <string>

#include "common/result.h"

namespace mirevo {

enum class Platform { X11, Wayland };

// The environment's say, each empty when unset.
struct PlatformEnvironment {
    std::string forced;         // MIREVO_PLATFORM
    std::string waylandDisplay; // WAYLAND_DISPLAY
};

// The platform, or the one line to print before exiting 1 (a forced platform that is not there, or a value
// of MIREVO_PLATFORM that names none). waylandAnswers is asked at most once, and only when WAYLAND_DISPLAY
// is set. A forced X11 is taken as it is: opening the X display says why when there is none.
Result<Platform, std::string> choosePlatform(const PlatformEnvironment& environment,
                                             const std::function<bool()>& waylandAnswers,
                                             const std::string& program);

// This process's environment.
PlatformEnvironment platformEnvironment();

const char* platformName(Platform platform);

} // namespace mirevo
