#include "common/platform_choice.h"

#include <cstdlib>

#include "common/printable_text.h"

namespace mirevo {
namespace {

// Environment values are anyone's text: long enough to recognise, never a terminal's escape.
constexpr size_t kShownBytes = 80;

std::string quoted(const std::string& value) {
    const PrintableText shown = printableText(value, kShownBytes);
    return "\"" + shown.text + (shown.cut ? "..." : "") + "\"";
}

std::string seconds(std::chrono::milliseconds time) {
    return std::to_string((time.count() + 500) / 1000) + " s";
}

PlatformRefusal refusal(std::string line) {
    return {std::move(line), false};
}

} // namespace

Result<PlatformChoice, PlatformRefusal> choosePlatform(const PlatformEnvironment& environment,
                                                       const WaylandProbe& probe,
                                                       const std::function<void(const std::string&)>& say,
                                                       CompositorWait wait) {
    const std::string& forced = environment.forced;
    if (forced == "x11") return PlatformChoice{Platform::X11, "MIREVO_PLATFORM=x11"};
    if (!forced.empty() && forced != "wayland")
        return Failure(refusal("MIREVO_PLATFORM=" + quoted(forced) + " names no platform (x11 or wayland)."));
    const bool forcedWayland = forced == "wayland";
    const std::string socket = quoted(environment.waylandDisplay);
    if (environment.waylandDisplay.empty()) {
        if (forcedWayland) return Failure(refusal("MIREVO_PLATFORM=wayland, but WAYLAND_DISPLAY is not set."));
        return PlatformChoice{Platform::X11, "WAYLAND_DISPLAY is not set"};
    }

    WaylandAnswer answer = probe(wait.first);
    if (answer == WaylandAnswer::Silent) {
        // Its socket took the connection: a compositor is there, only slow. Say so, and give it time.
        say("waiting for the compositor: the Wayland compositor at " + socket + " has not answered in " +
            seconds(wait.first) + ".");
        answer = probe(wait.whole - wait.first);
    }
    switch (answer) {
    case WaylandAnswer::Answers:
        return PlatformChoice{Platform::Wayland, std::string(forcedWayland ? "MIREVO_PLATFORM=wayland, and " : "") +
                                                     "the Wayland compositor at " + socket + " answers"};
    case WaylandAnswer::Stopped: return Failure(PlatformRefusal{"", true});
    case WaylandAnswer::Silent:
        return Failure(refusal("the Wayland compositor at " + socket + " has not answered in " +
                               seconds(wait.whole) + "."));
    case WaylandAnswer::Absent: break;
    }
    if (forcedWayland)
        return Failure(refusal("MIREVO_PLATFORM=wayland, but no Wayland compositor answers at " + socket + "."));
    // Nothing listens where WAYLAND_DISPLAY points (a compositor gone, a name from another session): X11 if
    // there is one; without one, both are said.
    if (environment.x11Display.empty())
        return Failure(refusal("no Wayland compositor at " + socket +
                               " and no X display (DISPLAY is not set); it needs one or the other."));
    return PlatformChoice{Platform::X11, "no Wayland compositor answers at " + socket + ", and DISPLAY is " +
                                             quoted(environment.x11Display)};
}

PlatformEnvironment platformEnvironment() {
    const auto text = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    return {text("MIREVO_PLATFORM"), text("WAYLAND_DISPLAY"), text("DISPLAY")};
}

const char* platformName(Platform platform) {
    return platform == Platform::Wayland ? "wayland" : "x11";
}

} // namespace mirevo
