// The picture's RGB packed for visuals of different layouts.
#include <gtest/gtest.h>

#include "common/x11/pixel_format.h"

using namespace mirevo;

TEST(PreviewPixelFormat, PacksEachChannelIntoItsMask) {
    const PixelFormat rgb888{0xff0000, 0x00ff00, 0x0000ff};
    const PixelFormat bgr888{0x0000ff, 0x00ff00, 0xff0000};
    const PixelFormat rgb565{0xf800, 0x07e0, 0x001f};
    const PixelFormat rgb101010{0x3ff00000, 0x000ffc00, 0x000003ff};
    struct Case {
        PixelFormat format;
        uint8_t r, g, b;
        uint32_t pixel;
    };
    const Case cases[] = {
        {rgb888, 0, 0, 0, 0},
        {rgb888, 0x12, 0x34, 0x56, 0x123456},
        {bgr888, 0x12, 0x34, 0x56, 0x563412},
        {rgb565, 0xff, 0xff, 0xff, 0xffff},
        {rgb565, 0xff, 0, 0, 0xf800},
        {rgb565, 0, 0x80, 0, 0x0400}, // top 6 bits of 0x80
        {rgb565, 0, 0, 0x07, 0},      // below the 5 bits kept
        {rgb101010, 0xff, 0, 0, 0x3fc00000},
        {rgb101010, 0, 0, 0x01, 0x4},
        {PixelFormat{}, 0xff, 0xff, 0xff, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(packPixel(c.format, c.r, c.g, c.b), c.pixel)
            << std::hex << "masks " << c.format.redMask << "/" << c.format.greenMask << "/"
            << c.format.blueMask << " colour " << int(c.r) << "," << int(c.g) << "," << int(c.b);
}

TEST(PreviewPixelFormat, PacksAPictureRowByRow) {
    const PixelFormat rgb888{0xff0000, 0x00ff00, 0x0000ff};
    const std::vector<uint8_t> rgb{1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(packPicture(rgb888, rgb), (std::vector<uint32_t>{0x010203, 0x040506, 0x070809}));
    // A trailing partial pixel is not read past.
    EXPECT_EQ(packPicture(rgb888, {1, 2, 3, 4}), (std::vector<uint32_t>{0x010203}));
    EXPECT_TRUE(packPicture(rgb888, {}).empty());
}
