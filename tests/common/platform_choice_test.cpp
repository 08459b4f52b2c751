#include "common/platform_choice.h"

#include <optional>
#include <vector>

#include <gtest/gtest.h>

namespace mirevo {
namespace {

using namespace std::chrono_literals;
using A = WaylandAnswer;

struct Case {
    const char* forced;
    const char* waylandDisplay;
    std::vector<WaylandAnswer> answers; // what each probe finds, in turn; its size is how often it is asked
    std::optional<Platform> chosen;     // empty: the one line and exit 1 (or a quiet end when stopped)
    const char* lineHolds;
    const char* display = ":0"; // DISPLAY
    bool waits = false;          // the line that the compositor is waited for is said
};

class PlatformChoice : public ::testing::TestWithParam<Case> {};

TEST_P(PlatformChoice, ChoosesOrSaysWhyNot) {
    const Case& c = GetParam();
    std::vector<std::chrono::milliseconds> limits;
    std::vector<std::string> said;
    const auto result = choosePlatform(
        {c.forced, c.waylandDisplay, c.display},
        [&](std::chrono::milliseconds limit) {
            limits.push_back(limit);
            return limits.size() <= c.answers.size() ? c.answers[limits.size() - 1] : A::Absent;
        },
        [&](const std::string& line) { said.push_back(line); }, {3s, 60s});
    EXPECT_EQ(limits.size(), c.answers.size());
    // The first look is short; a compositor that took the connection gets the rest of the whole wait.
    if (!limits.empty()) {
        EXPECT_EQ(limits[0], 3s);
    }
    if (limits.size() > 1) {
        EXPECT_EQ(limits[1], 57s);
    }
    ASSERT_EQ(said.size(), c.waits ? 1u : 0u);
    if (c.waits) {
        EXPECT_EQ(said[0].rfind("waiting for the compositor", 0), 0u) << said[0];
        EXPECT_EQ(said[0].find('\n'), std::string::npos);
    }
    if (c.chosen) {
        ASSERT_TRUE(result.ok()) << result.reason().line;
        EXPECT_EQ(result->platform, *c.chosen);
        return;
    }
    ASSERT_FALSE(result.ok());
    if (!*c.lineHolds) {
        EXPECT_TRUE(result.reason().stopped);
        EXPECT_EQ(result.reason().line, "");
        return;
    }
    const std::string& line = result.reason().line;
    EXPECT_FALSE(result.reason().stopped);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line.find(c.lineHolds), std::string::npos) << line;
    // A compositor that is there but slow is never taken for a missing X display.
    if (!c.answers.empty() && c.answers.back() == A::Silent) {
        EXPECT_EQ(line.find("X display"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlatformChoice,
    ::testing::Values(
        // Unforced: Wayland only where a compositor answers.
        Case{"", "", {}, Platform::X11, ""},
        Case{"", "wayland-0", {A::Answers}, Platform::Wayland, ""},
        Case{"", "wayland-0", {A::Absent}, Platform::X11, ""},
        Case{"", "/run/user/1000/wayland-1", {A::Answers}, Platform::Wayland, ""},
        // Nothing at WAYLAND_DISPLAY and no X display: both are said.
        Case{"", "wayland-9", {A::Absent}, std::nullopt, "no Wayland compositor at \"wayland-9\" and no X display",
             ""},
        // A compositor that took the connection but is slow: waited for, with one line, and never taken for
        // none (X11 is not chosen even where DISPLAY is set).
        Case{"", "wayland-0", {A::Silent, A::Answers}, Platform::Wayland, "", "", true},
        Case{"", "wayland-0", {A::Silent, A::Answers}, Platform::Wayland, "", ":0", true},
        Case{"", "wayland-0", {A::Silent, A::Silent}, std::nullopt, "has not answered in 60 s", "", true},
        Case{"wayland", "wayland-0", {A::Silent, A::Answers}, Platform::Wayland, "", "", true},
        // A stop while waiting ends the choice quietly.
        Case{"", "wayland-0", {A::Stopped}, std::nullopt, ""},
        Case{"", "wayland-0", {A::Silent, A::Stopped}, std::nullopt, "", ":0", true},
        // Forced: taken when there, one line when Wayland is not.
        Case{"x11", "wayland-0", {}, Platform::X11, ""},
        Case{"x11", "", {}, Platform::X11, "", ""},
        Case{"wayland", "wayland-0", {A::Answers}, Platform::Wayland, ""},
        Case{"wayland", "wayland-0", {A::Absent}, std::nullopt, "no Wayland compositor answers at \"wayland-0\""},
        Case{"wayland", "", {}, std::nullopt, "WAYLAND_DISPLAY is not set"},
        Case{"mir", "wayland-0", {}, std::nullopt, "MIREVO_PLATFORM=\"mir\" names no platform"},
        Case{"X11", "", {}, std::nullopt, "names no platform"},
        // Values from the environment are shown, never obeyed by the terminal.
        Case{"\x1b]0;owned\a\xe2\x80\xa8", "", {}, std::nullopt, "MIREVO_PLATFORM=\"?]0;owned??\" names no platform"},
        Case{"", "wayland\x1b[2J", {A::Absent}, std::nullopt, "no Wayland compositor at \"wayland?[2J\"", ""}));

// The debug line says why a platform was taken: the variable that forced it, the one that was missing, or
// what asking the compositor found.
TEST(PlatformChoice, SaysWhyItChoseAPlatform) {
    struct Why {
        PlatformEnvironment environment;
        WaylandAnswer answer;
        Platform platform;
        const char* why;
    };
    const Why cases[] = {
        {{"x11", "wayland-0", ":0"}, A::Answers, Platform::X11, "MIREVO_PLATFORM=x11"},
        {{"", "", ":0"}, A::Answers, Platform::X11, "WAYLAND_DISPLAY is not set"},
        {{"", "wayland-0", ":0"}, A::Answers, Platform::Wayland, "the Wayland compositor at \"wayland-0\" answers"},
        {{"wayland", "wayland-0", ""}, A::Answers, Platform::Wayland,
         "MIREVO_PLATFORM=wayland, and the Wayland compositor at \"wayland-0\" answers"},
        {{"", "wayland-9", ":1\n"}, A::Absent, Platform::X11,
         "no Wayland compositor answers at \"wayland-9\", and DISPLAY is \":1?\""},
    };
    for (const Why& c : cases) {
        const auto chosen = choosePlatform(
            c.environment, [&](std::chrono::milliseconds) { return c.answer; }, [](const std::string&) {});
        ASSERT_TRUE(chosen.ok()) << c.why;
        EXPECT_EQ(chosen->platform, c.platform) << c.why;
        EXPECT_EQ(chosen->why, c.why);
    }
}

} // namespace
} // namespace mirevo
