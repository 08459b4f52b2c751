#include "viewer/wayland/egl_config_choice.h"

#include <gtest/gtest.h>

namespace mirevo::viewer {
namespace {

TEST(EglConfigChoice, EightBitChannelsWithoutAlphaAndTheSmallestDepthBufferOfAtLeastSixteenBits) {
    const EglConfigSizes argb2101010{10, 10, 10, 2, 16, 0}, xrgb2101010{10, 10, 10, 0, 16, 0},
        argb8888{8, 8, 8, 8, 16, 0}, xrgb8888{8, 8, 8, 0, 16, 0}, xrgb8888Depth24{8, 8, 8, 0, 24, 0},
        xrgb8888Stencil{8, 8, 8, 0, 24, 8}, xrgb8888NoDepth{8, 8, 8, 0, 0, 0}, rgb565{5, 6, 5, 0, 16, 0};
    const struct {
        const char* what;
        std::vector<EglConfigSizes> offered;
        std::optional<size_t> chosen;
    } cases[] = {
        // Mesa's order for "at least 8 bits, a 16-bit depth buffer": 10-bit formats first.
        {"llvmpipe's order", {xrgb2101010, argb2101010, xrgb8888, argb8888}, 2},
        {"alpha only where there is no other", {argb8888, xrgb8888Depth24}, 1},
        {"with alpha when none lacks it", {argb2101010, argb8888}, 1},
        {"the smallest depth buffer", {xrgb8888Stencil, xrgb8888Depth24, xrgb8888}, 2},
        {"no stencil before a stencil", {xrgb8888Stencil, xrgb8888Depth24}, 1},
        {"EGL's order among equals", {xrgb8888, xrgb8888}, 0},
        {"a depth buffer is needed", {xrgb8888NoDepth, argb8888}, 1},
        {"nothing fits", {rgb565, xrgb2101010, xrgb8888NoDepth}, std::nullopt},
        {"nothing offered", {}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseEglConfig(c.offered), c.chosen) << c.what;
}

} // namespace
} // namespace mirevo::viewer
