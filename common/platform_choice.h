#pragma once
// Which desktop a program of ours talks to: Wayland when WAYLAND_DISPLAY names a compositor that answers,
// X11 otherwise; MIREVO_PLATFORM=x11|wayland forces one. A compositor that has taken the connection but is
// slow to answer (a busy login, a loaded machine) is waited for, with one line saying so, rather than taken
// for no compositor at all. Plain logic: the caller asks the compositor, so the choice is tested without one
// (common/wayland/session_platform.h puts the two together for the programs).
#include <chrono>
#include <functional>
#include <string>

#include "common/result.h"

namespace mirevo {

enum class Platform { X11, Wayland };

// The environment's say, each empty when unset.
struct PlatformEnvironment {
    std::string forced;         // MIREVO_PLATFORM
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string x11Display;     // DISPLAY
};

// What asking the compositor found, within the time given.
enum class WaylandAnswer {
    Answers, // it answered
    Absent,  // nothing there to ask: no such socket, nobody listening on it, no runtime folder to find it in
    Silent,  // a compositor took the connection but has not answered yet
    Stopped, // a stop signal came while waiting
};

// Asks the compositor WAYLAND_DISPLAY names, waiting at most limit.
using WaylandProbe = std::function<WaylandAnswer(std::chrono::milliseconds limit)>;

// How long a compositor that has taken the connection is waited for: first before the line that says so,
// whole in all.
struct CompositorWait {
    std::chrono::milliseconds first{std::chrono::seconds(3)};
    std::chrono::milliseconds whole{std::chrono::seconds(60)};
};

// The platform, and why it was chosen (for the debug line).
struct PlatformChoice {
    Platform platform = Platform::X11;
    std::string why;
};

// Why there is no platform: the one line to say before exiting 1, or a stop signal (end quietly, code 0).
struct PlatformRefusal {
    std::string line; // empty when stopped
    bool stopped = false;
};

// The platform, or why not. The compositor is asked only when WAYLAND_DISPLAY is set and no X11 is forced:
// once for up to wait.first, and again for the rest of wait.whole if it was silent, after say() has been given
// the line that the program waits. A forced X11 is taken as it is: opening the X display says why when there
// is none. Every value from the environment is shown as printable text (see printable_text.h). The lines
// are said without the program's name; the log adds it.
Result<PlatformChoice, PlatformRefusal> choosePlatform(const PlatformEnvironment& environment,
                                                       const WaylandProbe& probe,
                                                       const std::function<void(const std::string&)>& say,
                                                       CompositorWait wait = {});

// This process's environment.
PlatformEnvironment platformEnvironment();

const char* platformName(Platform platform);

} // namespace mirevo
