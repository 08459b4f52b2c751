// The damage rule against frames the GL really draws (Mesa llvmpipe on a private Xvfb): the floor's bounds
// hold every pixel of the floor, so a frame's damage holds every pixel that differs from the frame before.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "tests/harness/test_bitmap.h"
#include "tests/harness/xvfb.h"
#include "tests/viewer/gl_test_context.h"
#include "viewer/picture/bmp_reader.h"
#include "viewer/scene/gl_scene.h"
#include "viewer/scene/scene_texture.h"
#include "viewer/wayland/floor_damage.h"

namespace mirevo::viewer {
namespace {

using test::Rgb;

// The viewport's pixels as red-green-blue rows, the bottom row first (as the damage's coordinates run).
std::vector<uint8_t> frameDrawn(int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

bool inside(const std::vector<PixelRect>& rects, int x, int y) {
    for (const PixelRect& r : rects)
        if (r.contains(x, y)) return true;
    return false;
}

TEST(FloorDamageGl, AFramesDamageHoldsEveryPixelThatDiffersFromTheFrameShownBefore) {
    constexpr int kWindowWidth = 480, kWindowHeight = 480;
    test::Xvfb server(kWindowWidth, kWindowHeight);
    ASSERT_TRUE(server.ok());
    test::GlTestContext context(server.display(), kWindowWidth, kWindowHeight);
    ASSERT_TRUE(context.ok()) << context.error();
    auto bytes = test::makeBmp(320, 200, [](int x, int y) {
        return Rgb{uint8_t((x * 7) ^ (y * 3)), uint8_t(40 + (x + y) % 200), uint8_t((x / 8 + y / 8) % 2 ? 230 : 20)};
    });
    auto image = parseBmp(bytes.data(), bytes.size());
    ASSERT_TRUE(image);
    SceneTexture texture;
    ASSERT_TRUE(InitScene(kWindowWidth, kWindowHeight, texture, "test", {BmpResult<Picture>(std::move(*image)), {}}));
    drawLean();

    int partial = 0, compared = 0;
    // Surfaces of three shapes, frames a refresh apart and further, over the floor's whole swing (its near
    // corners come closer than the near plane at times).
    for (const auto& [width, height] : {std::pair{480, 300}, std::pair{300, 480}, std::pair{480, 480}}) {
        resizeScene(width, height);
        SceneMotion motion;
        motion.step(0, 0);
        FramePose before = motion.step(0, 0);
        DrawScene(before, texture);
        auto shown = frameDrawn(width, height);
        double t = 0;
        for (int frame = 0; frame < 40; ++frame) {
            const double step = frame % 3 == 0 ? 0.9 : 1.0 / 60;
            t += step;
            const FramePose now = motion.step(t, step);
            DrawScene(now, texture);
            const auto drawn = frameDrawn(width, height);
            const PixelRect bounds = floorBounds(now, width, height);
            const auto damage = frameDamage(bounds, floorBounds(before, width, height), width, height);
            long area = 0;
            for (const PixelRect& r : damage)
                area += long(r.width) * r.height;
            partial += area < long(width) * height * 9 / 10;
            ++compared;
            long floor = 0, outsideBounds = 0, changed = 0, missed = 0;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3;
                    const bool lit = drawn[at] || drawn[at + 1] || drawn[at + 2];
                    floor += lit;
                    outsideBounds += lit && !bounds.contains(x, y);
                    if (std::equal(&drawn[at], &drawn[at + 3], &shown[at])) continue;
                    ++changed;
                    missed += !inside(damage, x, y);
                }
            const auto at = ::testing::Message() << width << "x" << height << " t=" << t;
            EXPECT_GT(floor, 0) << at;
            EXPECT_EQ(outsideBounds, 0) << at;
            EXPECT_GT(changed, 0) << at;
            EXPECT_EQ(missed, 0) << at << ", of " << changed << " changed";
            shown = drawn;
            before = now;
        }
    }
    // Not the whole surface every time: the rule leaves the black around the floor out.
    EXPECT_GT(partial, compared / 4) << partial << " of " << compared;
}

} // namespace
} // namespace mirevo::viewer
