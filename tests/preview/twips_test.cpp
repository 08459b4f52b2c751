// The host's size in twips and back, with the 16-bit limit and the rounding of halves to even.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "saver/preview/preview_layout.h"
#include "saver/preview/twips.h"

using namespace mirevo;

TEST(Twips, PerPixelFollowsTheLogicalDpi) {
    EXPECT_EQ(twipsPerPixel(96), 15.0f);
    EXPECT_EQ(twipsPerPixel(120), 12.0f);
    EXPECT_EQ(twipsPerPixel(72), 20.0f);
    EXPECT_EQ(twipsPerPixel(192), 7.5f);
    EXPECT_FLOAT_EQ(twipsPerPixel(100), 14.4f);
    // No usable dpi: the usual 96.
    EXPECT_EQ(twipsPerPixel(0), 15.0f);
    EXPECT_EQ(twipsPerPixel(-3), 15.0f);
}

TEST(Twips, FromPixelsRoundsHalvesToEvenAndFailsOutside16Bits) {
    struct Case {
        int pixels;
        float twipsPerPixel;
        std::optional<int16_t> twips;
    };
    const Case cases[] = {
        {0, 15.0f, 0},
        {1, 15.0f, 15},
        {152, 15.0f, 2280},
        {112, 15.0f, 1680},
        {2184, 15.0f, 32760},        // the largest host at 96 dpi
        {2185, 15.0f, std::nullopt}, // 32775
        {-2184, 15.0f, -32760},
        {-2185, 15.0f, std::nullopt},
        // Exact halves at 7.5 twips per pixel: to the even neighbour.
        {1, 7.5f, 8},  // 7.5
        {3, 7.5f, 22}, // 22.5
        {5, 7.5f, 38}, // 37.5
        {7, 7.5f, 52}, // 52.5
        {4368, 7.5f, 32760},
        {4369, 7.5f, std::nullopt}, // 32767.5 rounds up to 32768
        {10, 12.0f, 120},
        {2730, 12.0f, 32760},
        {2731, 12.0f, std::nullopt},
        {1638, 20.0f, 32760},
        {1639, 20.0f, std::nullopt},
        // 14.4 is not exact in single precision; the product still lands on the whole twips.
        {10, 14.4f, 144},
        {7, 14.4f, 101}, // 100.8
        {2275, 14.4f, 32760},
    };
    for (const Case& c : cases)
        EXPECT_EQ(twipsFromPixels(c.pixels, c.twipsPerPixel), c.twips)
            << c.pixels << " pixels at " << c.twipsPerPixel << " twips per pixel";
}

TEST(Twips, BackToPixels) {
    EXPECT_EQ(pixelsFromTwips(2280, 15.0f), 152);
    EXPECT_EQ(pixelsFromTwips(32760, 15.0f), 2184);
    EXPECT_EQ(pixelsFromTwips(101, 14.4f), 7);
    EXPECT_EQ(pixelsFromTwips(22, 7.5f), 3);  // 2.93
    EXPECT_EQ(pixelsFromTwips(30, 20.0f), 2); // 1.5, to even
    EXPECT_EQ(pixelsFromTwips(50, 20.0f), 2); // 2.5, to even
    EXPECT_EQ(pixelsFromTwips(0, 15.0f), 0);
}

TEST(PreviewLayout, CoversTheHostOrLeavesAnOversizedDimensionAtZero) {
    struct Case {
        int hostWidth, hostHeight;
        float twipsPerPixel;
        PreviewLayout expected;
    };
    const Case cases[] = {
        {152, 112, 15.0f, {2280, 1680, 152, 112}},
        {400, 300, 15.0f, {6000, 4500, 400, 300}},
        {100, 60, 15.0f, {1500, 900, 100, 60}},
        {0, 0, 15.0f, {0, 0, 0, 0}},
        {2184, 2184, 15.0f, {32760, 32760, 2184, 2184}},
        {2185, 112, 15.0f, {0, 1680, 0, 112}},
        {152, 3000, 15.0f, {2280, 0, 152, 0}},
        {3000, 3000, 15.0f, {0, 0, 0, 0}},
        // At 7.5 twips per pixel an odd size rounds to an even number of twips and comes back whole.
        {3, 5, 7.5f, {22, 38, 3, 5}},
        {2185, 4369, 7.5f, {16388, 0, 2185, 0}},
        {7, 10, 14.4f, {101, 144, 7, 10}},
    };
    for (const Case& c : cases) {
        const PreviewLayout got = previewLayout(c.hostWidth, c.hostHeight, c.twipsPerPixel, c.twipsPerPixel);
        SCOPED_TRACE(::testing::Message()
                     << c.hostWidth << " x " << c.hostHeight << " at " << c.twipsPerPixel);
        EXPECT_EQ(got.widthTwips, c.expected.widthTwips);
        EXPECT_EQ(got.heightTwips, c.expected.heightTwips);
        EXPECT_EQ(got.width, c.expected.width);
        EXPECT_EQ(got.height, c.expected.height);
    }
    // Each direction has its own twips per pixel.
    const PreviewLayout mixed = previewLayout(200, 200, 15.0f, 12.0f);
    EXPECT_EQ(mixed.widthTwips, 3000);
    EXPECT_EQ(mixed.heightTwips, 2400);
    EXPECT_EQ(mixed.width, 200);
    EXPECT_EQ(mixed.height, 200);
}
