#include "viewer/wayland/surface_buffer.h"

#include <gtest/gtest.h>

namespace mirevo::viewer {
namespace {

OutputLayout output(int modeWidth, int modeHeight, int scale, int logicalWidth, int logicalHeight,
                    OutputTransform transform = OutputTransform::Normal) {
    OutputLayout o;
    o.modeWidth = modeWidth, o.modeHeight = modeHeight, o.scale = scale;
    o.logicalWidth = logicalWidth, o.logicalHeight = logicalHeight, o.transform = transform;
    return o;
}

TEST(SurfaceBuffer, AsManyPixelsAsTheOutputShowsTheSurfaceWith) {
    const struct {
        const char* what;
        int width, height; // as configured
        OutputLayout output;
        bool bufferScale, viewporter;
        SurfaceBuffer buffer;
    } cases[] = {
        {"scale 1", 1920, 1080, output(1920, 1080, 1, 1920, 1080), true, true, {1920, 1080, 1, false}},
        {"scale 2: the mode's pixels, not a blurred quarter", 400, 300, output(800, 600, 2, 400, 300), true, true,
         {800, 600, 2, false}},
        {"back to 1: not four times the pixels shown", 800, 600, output(800, 600, 1, 800, 600), true, true,
         {800, 600, 1, false}},
        {"scale 3", 640, 360, output(1920, 1080, 3, 640, 360), true, false, {1920, 1080, 3, false}},
        {"no xdg-output: the logical size from the mode", 400, 300, withLogicalSize(output(800, 600, 2, 0, 0)), true,
         true, {800, 600, 2, false}},
        {"turned a quarter", 300, 400, output(800, 600, 2, 300, 400, OutputTransform::Turn90), true, true,
         {600, 800, 2, false}},
        {"turned and mirrored", 300, 400, output(800, 600, 2, 300, 400, OutputTransform::Flipped270), true, true,
         {600, 800, 2, false}},
        {"scale 1.5 (announced as 2) through the viewporter: the output's pixels", 1280, 720,
         output(1920, 1080, 2, 1280, 720), true, true, {1920, 1080, 1, true}},
        {"scale 1.25", 1536, 864, output(1920, 1080, 2, 1536, 864), true, true, {1920, 1080, 1, true}},
        {"scale 1.5 without the viewporter: none larger than the output", 1280, 720, output(1920, 1080, 2, 1280, 720),
         true, false, {1280, 720, 1, false}},
        {"scale 2.5 without the viewporter", 768, 432, output(1920, 1080, 3, 768, 432), true, false,
         {1536, 864, 2, false}},
        {"a compositor without buffer scales", 400, 300, output(800, 600, 2, 400, 300), false, true,
         {400, 300, 1, false}},
        {"a surface smaller than its output", 400, 200, output(800, 600, 2, 400, 300), true, true,
         {800, 400, 2, false}},
        {"a mode not known yet", 800, 600, output(0, 0, 2, 800, 600), true, true, {1600, 1200, 2, false}},
        {"no size configured", 0, 0, output(800, 600, 1, 800, 600), true, true, {1, 1, 1, false}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(planSurfaceBuffer(c.width, c.height, c.output, c.bufferScale, c.viewporter), c.buffer) << c.what;
}

} // namespace
} // namespace mirevo::viewer
