#include "common/platform_choice.h"

#include <optional>

#include <gtest/gtest.h>

namespace mirevo {
namespace {

struct Case {
    const char* forced;
    const char* waylandDisplay;
    bool answers;
    std::optional<Platform> chosen; // empty: the one line and exit 1
    bool asked;                     // was the compositor probed?
    const char* lineHolds;
};

class PlatformChoice : public ::testing::TestWithParam<Case> {};

TEST_P(PlatformChoice, ChoosesOrSaysWhyNot) {
    const Case& c = GetParam();
    int asked = 0;
    const auto result = choosePlatform({c.forced, c.waylandDisplay}, [&] { return ++asked, c.answers; }, "Prog");
    EXPECT_EQ(asked, c.asked ? 1 : 0);
    if (c.chosen) {
        ASSERT_TRUE(result.ok()) << result.reason();
        EXPECT_EQ(*result, *c.chosen);
    } else {
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.reason().find('\n'), std::string::npos);
        EXPECT_EQ(result.reason().rfind("Prog: ", 0), 0u) << result.reason();
        EXPECT_NE(result.reason().find(c.lineHolds), std::string::npos) << result.reason();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PlatformChoice,
    ::testing::Values(
        // Unforced: Wayland only where a compositor answers.
        Case{"", "", true, Platform::X11, false, ""},
        Case{"", "wayland-0", true, Platform::Wayland, true, ""},
        Case{"", "wayland-0", false, Platform::X11, true, ""},
        Case{"", "/run/user/1000/wayland-1", true, Platform::Wayland, true, ""},
        // Forced: taken when there, one line when Wayland is not.
        Case{"x11", "wayland-0", true, Platform::X11, false, ""},
        Case{"x11", "", false, Platform::X11, false, ""},
        Case{"wayland", "wayland-0", true, Platform::Wayland, true, ""},
        Case{"wayland", "wayland-0", false, std::nullopt, true, "no Wayland compositor answers at \"wayland-0\""},
        Case{"wayland", "", true, std::nullopt, false, "WAYLAND_DISPLAY is not set"},
        Case{"mir", "wayland-0", true, std::nullopt, false, "MIREVO_PLATFORM=mir names no platform"},
        Case{"X11", "", true, std::nullopt, false, "names no platform"}));

} // namespace
} // namespace mirevo
