// Which part of the root the screen grab reads when the monitors and the root disagree.
#include <gtest/gtest.h>

#include "common/x11/screen_area.h"

using namespace mirevo;

TEST(ScreenArea, ThePrimaryMonitorOnlyWhenItLiesInsideTheRoot) {
    struct Case {
        const char* what;
        int rootWidth, rootHeight;
        std::optional<ScreenArea> primary;
        ScreenArea chosen;
    };
    const Case cases[] = {
        {"no primary monitor", 1920, 1080, std::nullopt, {0, 0, 1920, 1080}},
        {"the only monitor", 1920, 1080, ScreenArea{0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        {"right of two", 3200, 1200, ScreenArea{1920, 0, 1280, 1024}, {1920, 0, 1280, 1024}},
        {"left of two", 3200, 1200, ScreenArea{0, 120, 1920, 1080}, {0, 120, 1920, 1080}},
        {"across the right edge (panning)", 1920, 1080, ScreenArea{1000, 0, 1920, 1080}, {0, 0, 1920, 1080}},
        {"across the bottom edge", 1920, 1080, ScreenArea{0, 100, 1920, 1080}, {0, 0, 1920, 1080}},
        {"left of the root", 1920, 1080, ScreenArea{-10, 0, 800, 600}, {0, 0, 1920, 1080}},
        {"beyond the root", 1920, 1080, ScreenArea{2000, 0, 800, 600}, {0, 0, 1920, 1080}},
        {"of no size", 1920, 1080, ScreenArea{100, 100, 0, 0}, {0, 0, 1920, 1080}},
    };
    for (const Case& c : cases) {
        const ScreenArea got = chooseScreenArea(c.rootWidth, c.rootHeight, c.primary);
        EXPECT_EQ(got.x, c.chosen.x) << c.what;
        EXPECT_EQ(got.y, c.chosen.y) << c.what;
        EXPECT_EQ(got.width, c.chosen.width) << c.what;
        EXPECT_EQ(got.height, c.chosen.height) << c.what;
    }
}
