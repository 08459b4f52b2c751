// RGB packed for visuals of different layouts (the preview), and the server's pixels of different layouts
// unpacked to RGB (the screen grab): 16-, 24-, 30-bit, either byte order (the table in pixel_cases.h).
#include <gtest/gtest.h>

#include <vector>

#include "common/x11/pixel_format.h"
#include "tests/common/pixel_cases.h"

using namespace mirevo;
using namespace mirevo::test;

namespace {

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
    for (const PixelCase& c : kPixelCases) {
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

TEST(PixelFormat, AnotherDepthsStandardHoldsItsPrimariesWhereTheyBelong) {
    struct Case {
        int depth;
        std::optional<uint32_t> red, green, blue; // the pure primaries' pixels; nothing: no colours at all
    };
    const Case cases[] = {
        {15, 0x7C00u, 0x03E0u, 0x001Fu},           {16, 0xF800u, 0x07E0u, 0x001Fu},
        {24, 0xFF0000u, 0x00FF00u, 0x0000FFu},     {32, 0xFF0000u, 0x00FF00u, 0x0000FFu},
        {30, 0x3FF00000u, 0x000FFC00u, 0x000003FFu}, {1, {}, {}, {}}, {4, {}, {}, {}}, {8, {}, {}, {}},
        {12, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        const auto format = standardPixelFormat(c.depth);
        ASSERT_EQ(format.has_value(), c.red.has_value());
        if (!format) continue;
        EXPECT_EQ(unpackPixel(*format, *c.red), 0xFF0000u);
        EXPECT_EQ(unpackPixel(*format, *c.green), 0x00FF00u);
        EXPECT_EQ(unpackPixel(*format, *c.blue), 0x0000FFu);
    }
}
