// RGB packed for visuals of different layouts (the preview), and the server's pixels of different layouts
// unpacked to RGB (the screen grab): 16-, 24-, 30-bit, either byte order.
#include <gtest/gtest.h>

#include <vector>

#include "common/x11/pixel_format.h"

using namespace mirevo;

namespace {

const PixelFormat rgb888{0xff0000, 0x00ff00, 0x0000ff};
const PixelFormat bgr888{0x0000ff, 0x00ff00, 0xff0000};
const PixelFormat rgb565{0xf800, 0x07e0, 0x001f};
const PixelFormat rgb101010{0x3ff00000, 0x000ffc00, 0x000003ff};
constexpr bool kLittleEndianHost = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

} // namespace

TEST(PixelFormat, PacksEachChannelIntoItsMask) {
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

TEST(PixelFormat, PacksAPictureRowByRow) {
    const std::vector<uint8_t> rgb{1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(packPicture(rgb888, rgb), (std::vector<uint32_t>{0x010203, 0x040506, 0x070809}));
    // A trailing partial pixel is not read past.
    EXPECT_EQ(packPicture(rgb888, {1, 2, 3, 4}), (std::vector<uint32_t>{0x010203}));
    EXPECT_TRUE(packPicture(rgb888, {}).empty());
}

TEST(PixelFormat, UnpacksEachLayoutOfTheServerToRgb) {
    struct Case {
        const char* what;
        ImageLayout layout;
        std::vector<uint8_t> bytes; // two pixels, as the server sends them
        uint32_t first, second;     // 0x00RRGGBB
    };
    // clang-format off
    const Case cases[] = {
        {"888, LSB first", {32, false, rgb888}, {0x56, 0x34, 0x12, 0, 0xff, 0, 0, 0}, 0x123456, 0x0000ff},
        {"888, MSB first", {32, true, rgb888}, {0, 0x12, 0x34, 0x56, 0, 0, 0, 0xff}, 0x123456, 0x0000ff},
        {"BGR 888, 32 bits", {32, false, bgr888}, {0x12, 0x34, 0x56, 0, 0xff, 0, 0, 0}, 0x123456, 0xff0000},
        {"888, 24 bits", {24, false, rgb888}, {0x56, 0x34, 0x12, 0xff, 0xff, 0xff}, 0x123456, 0xffffff},
        // Green's 6 bits: 32 of 63 is 129 of 255; blue's 5 bits: 1 of 31 is 8 of 255.
        {"565, LSB first", {16, false, rgb565}, {0x00, 0xf8, 0x01, 0x04}, 0xff0000, 0x008108},
        {"565, MSB first", {16, true, rgb565}, {0xf8, 0x00, 0xff, 0xff}, 0xff0000, 0xffffff},
        // 512 of 1023 is 127 of 255.
        {"10-10-10", {32, false, rgb101010}, {0, 0, 0xf0, 0x3f, 0, 0x02, 0, 0}, 0xff0000, 0x00007f},
        {"palette (no masks)", {8, false, PixelFormat{}}, {0x12, 0xff}, 0, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        uint32_t out[2] = {0xdeadbeef, 0xdeadbeef};
        ASSERT_TRUE(unpackRow(c.layout, c.bytes.data(), 2, out)) << c.what;
        EXPECT_EQ(out[0], c.first) << c.what << std::hex << " got " << out[0];
        EXPECT_EQ(out[1], c.second) << c.what << std::hex << " got " << out[1];
    }

    // Only 32-bit 0x00RRGGBB in this machine's byte order is taken without conversion.
    EXPECT_TRUE(isNativeRgb32({32, !kLittleEndianHost, rgb888}));
    EXPECT_FALSE(isNativeRgb32({32, kLittleEndianHost, rgb888}));
    EXPECT_FALSE(isNativeRgb32({32, !kLittleEndianHost, bgr888}));
    EXPECT_FALSE(isNativeRgb32({24, !kLittleEndianHost, rgb888}));
    // A pixel size the grab cannot read is refused, not guessed.
    uint32_t out[1];
    const uint8_t bytes[2] = {};
    EXPECT_FALSE(unpackRow({12, false, rgb888}, bytes, 1, out));
    EXPECT_FALSE(unpackRow({1, false, rgb888}, bytes, 1, out));
    // What the preview packs into 8-bit masks, the grab unpacks to the same colour.
    for (const PixelFormat& format : {rgb888, bgr888})
        EXPECT_EQ(unpackPixel(format, packPixel(format, 0x12, 0x9a, 0xfe)), 0x129afeu);
}
