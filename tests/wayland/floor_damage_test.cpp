#include "viewer/wayland/floor_damage.h"

#include <gtest/gtest.h>

namespace mirevo::viewer {
namespace {

TEST(FloorDamage, TheFloorNowAndInTheFrameShownBeforeOrTheWholeSurfaceWhenThatFrameIsUnknown) {
    const PixelRect whole{0, 0, 640, 480}, left{10, 20, 100, 50}, right{500, 300, 100, 100},
        leftMoved{14, 22, 100, 50};
    const struct {
        const char* what;
        PixelRect now;
        std::optional<PixelRect> before;
        std::vector<PixelRect> damage;
    } cases[] = {
        {"first frame, or after a resize", left, std::nullopt, {whole}},
        {"far apart: both, each by itself", left, right, {left, right}},
        {"overlapping mostly: their bounds", leftMoved, left, {{10, 20, 104, 52}}},
        {"the same place", left, left, {left}},
        {"after black (no floor before)", left, PixelRect{}, {left}},
        {"the floor gone from view", PixelRect{}, right, {right}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(frameDamage(c.now, c.before, 640, 480), c.damage) << c.what;
}

TEST(FloorDamage, BoundsLieOnTheSurfaceAndFollowItsSize) {
    SceneMotion motion;
    motion.step(0, 0);
    for (double t = 0; t < 30; t += 0.5) {
        const FramePose pose = motion.step(t, 0.5);
        for (const auto& [width, height] : {std::pair{640, 480}, std::pair{1920, 1080}, std::pair{300, 800}}) {
            const PixelRect r = floorBounds(pose, width, height);
            ASSERT_FALSE(r.empty()) << t;
            EXPECT_GE(r.x, 0);
            EXPECT_GE(r.y, 0);
            EXPECT_LE(r.x + r.width, width);
            EXPECT_LE(r.y + r.height, height);
        }
    }
    EXPECT_TRUE(floorBounds(FramePose{}, 0, 0).empty());
}

} // namespace
} // namespace mirevo::viewer
