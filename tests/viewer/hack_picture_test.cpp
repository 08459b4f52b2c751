// What a hack shows and how it moves: the desktop's pixels mirrored as the saver's snapshot is, the
// built-in picture, the clock across a stop, and the frame-rate figure.
#include <gtest/gtest.h>

#include <cstring>

#include "common/x11/pixel_format.h"
#include "tests/common/pixel_cases.h"
#include "viewer/picture/desktop_picture.h"
#include "viewer/scene/fps_figure.h"
#include "viewer/scene/resuming_clock.h"

using namespace mirevo::viewer;

namespace {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// The picture's pixel at (x, y) counted from its top-left, as the screen showed it.
Rgb pictureAt(const Picture& image, int x, int yFromTop) {
    const size_t row = pictureRowBytes(image.width);
    const uint8_t* p = image.pixels.data() + row * static_cast<size_t>(image.height - 1 - yFromTop) + 3 * x;
    return {p[2], p[1], p[0]};
}

// A distinct colour for every screen pixel.
Rgb screenColour(int x, int y) {
    return {static_cast<uint8_t>(10 * x + 1), static_cast<uint8_t>(20 * y + 2), static_cast<uint8_t>(x + y)};
}

// Packs the screen's colours as an X image of the given layout holds them.
std::vector<uint8_t> packScreen(const PixelLayout& layout) {
    std::vector<uint8_t> data(static_cast<size_t>(layout.bytesPerLine) * layout.height, 0xEE);
    const int bytes = layout.bitsPerPixel / 8;
    auto place = [](uint32_t mask, uint8_t value) -> uint32_t {
        if (!mask) return 0;
        int shift = 0, bits = 0;
        while (!((mask >> shift) & 1)) ++shift;
        while ((mask >> (shift + bits)) & 1) ++bits;
        const uint32_t v = value;
        return (bits >= 8 ? v << (bits - 8) : v >> (8 - bits)) << shift;
    };
    for (int y = 0; y < layout.height; ++y)
        for (int x = 0; x < layout.width; ++x) {
            const Rgb c = screenColour(x, y);
            const uint32_t pixel = place(layout.redMask, c.r) | place(layout.greenMask, c.g) |
                                   place(layout.blueMask, c.b);
            uint8_t* p = data.data() + static_cast<size_t>(y) * layout.bytesPerLine + static_cast<size_t>(x) * bytes;
            for (int i = 0; i < bytes; ++i)
                p[i] = static_cast<uint8_t>(pixel >> (8 * (layout.mostSignificantFirst ? bytes - 1 - i : i)));
        }
    return data;
}

} // namespace

TEST(DesktopPicture, EveryPixelLayoutComesOutMirroredBottomRowFirst) {
    struct Case {
        const char* what;
        PixelLayout layout;
        int keptBits; // what survives of each channel
    };
    const Case cases[] = {
        {"32-bit little-endian", {7, 5, 7 * 4 + 4, 32, false, 0xFF0000, 0xFF00, 0xFF}, 8},
        {"32-bit big-endian", {7, 5, 7 * 4, 32, true, 0xFF0000, 0xFF00, 0xFF}, 8},
        {"32-bit blue high", {7, 5, 7 * 4, 32, false, 0xFF, 0xFF00, 0xFF0000}, 8},
        {"24-bit", {7, 5, 7 * 3 + 3, 24, false, 0xFF0000, 0xFF00, 0xFF}, 8},
        {"16-bit 565", {7, 5, 7 * 2 + 2, 16, false, 0xF800, 0x07E0, 0x001F}, 5},
        {"30-bit 10-10-10", {7, 5, 7 * 4, 32, false, 0x3FF00000, 0xFFC00, 0x3FF}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto data = packScreen(c.layout);
        const Picture image = mirroredPicture(data.data(), c.layout);
        ASSERT_EQ(image.width, 7);
        ASSERT_EQ(image.height, 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                const Rgb want = screenColour(6 - x, y), got = pictureAt(image, x, y);
                const int slack = 256 >> c.keptBits;
                EXPECT_LE(std::abs(want.r - got.r), slack) << x << "," << y;
                EXPECT_LE(std::abs(want.g - got.g), slack) << x << "," << y;
                EXPECT_LE(std::abs(want.b - got.b), slack) << x << "," << y;
            }
    }
}

// The hack's picture and the screen grab read the server's pixels alike, in every layout of the shared table.
TEST(DesktopPicture, TakesEachPixelAsTheSharedUnpackerDoes) {
    for (const mirevo::test::PixelCase& c : mirevo::test::kPixelCases) {
        const int bits = c.layout.bitsPerPixel;
        if (bits != 16 && bits != 24 && bits != 32) continue; // the hack refuses palettes
        SCOPED_TRACE(c.what);
        const mirevo::PixelFormat& format = c.layout.format;
        const PixelLayout layout{2, 1, 2 * bits / 8, bits, c.layout.mostSignificantByteFirst,
                                 format.redMask, format.greenMask, format.blueMask};
        const Picture image = mirroredPicture(c.bytes.data(), layout);
        ASSERT_EQ(image.width, 2);
        uint32_t unpacked[2] = {};
        ASSERT_TRUE(mirevo::unpackRow(c.layout, c.bytes.data(), 2, unpacked));
        for (int x = 0; x < 2; ++x) {
            const Rgb got = pictureAt(image, 1 - x, 0); // mirrored
            const uint32_t rgb = uint32_t(got.r) << 16 | uint32_t(got.g) << 8 | got.b;
            EXPECT_EQ(rgb, unpacked[x]) << std::hex << "pixel " << x << ": " << rgb << ", not " << unpacked[x];
            EXPECT_EQ(rgb, x == 0 ? c.first : c.second) << std::hex << "pixel " << x << ": " << rgb;
        }
    }
}

TEST(DesktopPicture, ALargePictureIsReducedAndAnUnknownLayoutRefused) {
    PixelLayout layout{8, 6, 32, 32, false, 0xFF0000, 0xFF00, 0xFF};
    const auto data = packScreen(layout);
    const Picture half = mirroredPicture(data.data(), layout, 2);
    ASSERT_EQ(half.width, 4);
    ASSERT_EQ(half.height, 3);
    // The top-left of the reduced picture averages the screen's top-right 2 x 2 block.
    const Rgb corner = pictureAt(half, 0, 0);
    EXPECT_EQ(corner.r, (screenColour(6, 0).r + screenColour(7, 0).r + 1) / 2);
    EXPECT_EQ(corner.g, (screenColour(6, 0).g + screenColour(6, 1).g + 1) / 2);

    for (PixelLayout bad : {PixelLayout{8, 6, 32, 8}, PixelLayout{8, 6, 16, 32}, PixelLayout{0, 6, 32, 32}}) {
        EXPECT_EQ(mirroredPicture(data.data(), bad).width, 0);
    }
    EXPECT_EQ(mirroredPicture(nullptr, layout).width, 0);
}

TEST(DesktopPicture, TheBuiltInPictureIsNeitherBlackNorSymmetric) {
    const Picture image = builtInPicture(64, 40);
    ASSERT_EQ(image.width, 64);
    ASSERT_EQ(image.height, 40);
    int black = 0, mirrored = 0, flipped = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x) {
            const Rgb c = pictureAt(image, x, y);
            black += c.r < 20 && c.g < 20 && c.b < 20;
            mirrored += c == pictureAt(image, 63 - x, y);
            flipped += c == pictureAt(image, x, 39 - y);
        }
    EXPECT_EQ(black, 0);
    EXPECT_LT(mirrored, 64 * 40 * 9 / 10);
    EXPECT_LT(flipped, 64 * 40 / 2);
}

TEST(ResumingClock, AStopIsLeftOutAndTheMotionGoesOnAtItsPace) {
    constexpr uint64_t kTicks = 1000; // milliseconds
    ResumingClock clock(kTicks, 5000);
    struct Step {
        uint64_t at;
        double elapsed, frame;
    };
    const Step steps[] = {
        {5016, 0.016, 0.016}, {5036, 0.036, 0.020}, {5056, 0.056, 0.020},
        // stopped for half a minute: that frame moves as far as the one before
        {35056, 0.076, 0.020}, {35066, 0.086, 0.010},
        // a slow frame within the limit counts in full
        {35266, 0.286, 0.200},
        {35366, 0.386, 0.100},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.at);
        const FrameTimes times = clock.tick(s.at);
        EXPECT_NEAR(times.elapsedSeconds, s.elapsed, 1e-9);
        EXPECT_NEAR(times.frameSeconds, s.frame, 1e-9);
    }
    // A first frame after a long set-up does not jump either.
    ResumingClock late(kTicks, 0);
    EXPECT_EQ(late.tick(2000).elapsedSeconds, 0.0);
}

TEST(FrameRateFigure, CountsEachSecondAndDrawsItsDigits) {
    FrameRateCounter counter;
    EXPECT_EQ(counter.figure(), 0);
    for (int i = 0; i <= 30; ++i) counter.frameAt(10.0 + i / 30.0);
    EXPECT_EQ(counter.figure(), 31);
    for (int i = 1; i <= 12; ++i) counter.frameAt(11.0 + i / 12.0);
    EXPECT_EQ(counter.figure(), 12);

    // "1" lights 8 cells in the first column group, "8" 13 in the next; others are blank.
    const auto cells = figureCells("18 x");
    int first = 0, second = 0, beyond = 0;
    for (const FigureCell& c : cells) {
        EXPECT_GE(c.row, 0);
        EXPECT_LT(c.row, 5);
        (c.column < 4 ? first : c.column < 8 ? second : beyond) += 1;
    }
    EXPECT_EQ(first, 8);
    EXPECT_EQ(second, 13);
    EXPECT_EQ(beyond, 0);
}
