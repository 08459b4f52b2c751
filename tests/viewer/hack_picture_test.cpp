// What a hack shows and how it moves: the desktop's pixels mirrored as the saver's snapshot is, the
// built-in picture, the clock across a stop, and the frame-rate figure.
#include <gtest/gtest.h>

#include <cstring>

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

// The screen's colours as the X server's rows hold them: 0x00RRGGBB, rows stride pixels apart.
std::vector<uint32_t> screenPixels(int width, int height, int stride) {
    std::vector<uint32_t> pixels(static_cast<size_t>(stride) * height, 0xEEEEEEEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = screenColour(x, y);
            pixels[static_cast<size_t>(y) * stride + x] = uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        }
    return pixels;
}

mirevo::PixelView viewOf(const std::vector<uint32_t>& pixels, int width, int height, int stride) {
    return {reinterpret_cast<const uint8_t*>(pixels.data()), width, height, static_cast<size_t>(stride) * 4};
}

// Rows that stop being readable from the given read on, as a pixmap freed in the middle of the read.
class FailingRows final : public mirevo::RowSource {
public:
    FailingRows(const mirevo::PixelView& view, int band, int failFromRead)
        : rows_(view, band), failFrom_(failFromRead) {}
    int width() const override { return rows_.width(); }
    int height() const override { return rows_.height(); }
    int bandHeight() const override { return rows_.bandHeight(); }
    std::optional<mirevo::PixelView> readRows(int top, int count) override {
        if (reads_++ >= failFrom_) return std::nullopt;
        return rows_.readRows(top, count);
    }

private:
    mirevo::PixelViewRows rows_;
    int failFrom_;
    int reads_ = 0;
};

} // namespace

TEST(DesktopPicture, ComesOutMirroredBottomRowFirstWhateverTheBand) {
    struct Case {
        int width, height, stride, band;
    };
    const Case cases[] = {{7, 5, 7, 64}, {7, 5, 9, 1}, {7, 5, 7, 2}, {1, 6, 1, 4}, {6, 1, 8, 3}, {5, 9, 5, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + ", bands of " +
                     std::to_string(c.band));
        const auto pixels = screenPixels(c.width, c.height, c.stride);
        mirevo::PixelViewRows rows(viewOf(pixels, c.width, c.height, c.stride), c.band);
        const Picture image = mirroredPicture(rows);
        ASSERT_EQ(image.width, c.width);
        ASSERT_EQ(image.height, c.height);
        ASSERT_EQ(image.pixels.size(), pictureRowBytes(c.width) * c.height);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_TRUE(pictureAt(image, x, y) == screenColour(c.width - 1 - x, y)) << x << "," << y;
        // The rows' padding stays zero.
        for (int y = 0; y < c.height; ++y)
            for (size_t i = size_t(c.width) * 3; i < pictureRowBytes(c.width); ++i)
                EXPECT_EQ(image.pixels[pictureRowBytes(c.width) * y + i], 0);
    }
}

TEST(DesktopPicture, ALargePictureIsReducedAndAnUnreadableOneGivesNothing) {
    const auto pixels = screenPixels(8, 6, 8);
    mirevo::PixelViewRows rows(viewOf(pixels, 8, 6, 8), 4);
    const Picture half = mirroredPicture(rows, 2);
    ASSERT_EQ(half.width, 4);
    ASSERT_EQ(half.height, 3);
    // The top-left of the reduced picture averages the screen's top-right 2 x 2 block.
    const Rgb corner = pictureAt(half, 0, 0);
    EXPECT_EQ(corner.r, (screenColour(6, 0).r + screenColour(7, 0).r + 1) / 2);
    EXPECT_EQ(corner.g, (screenColour(6, 0).g + screenColour(6, 1).g + 1) / 2);

    // Gone before the first band, after some, at the last one: nothing, never a picture part read.
    for (int failFrom : {0, 1, 2}) {
        for (int factor : {1, 2}) {
            FailingRows failing(viewOf(pixels, 8, 6, 8), 2, failFrom);
            EXPECT_TRUE(mirroredPicture(failing, factor).empty()) << "from read " << failFrom;
        }
    }
    mirevo::PixelViewRows empty(mirevo::PixelView{reinterpret_cast<const uint8_t*>(pixels.data()), 0, 6, 32});
    EXPECT_TRUE(mirroredPicture(empty).empty());
    // Rows narrower than said, as a server's answer that does not fit.
    mirevo::PixelViewRows narrow(viewOf(pixels, 8, 6, 8));
    class Liar final : public mirevo::RowSource {
    public:
        explicit Liar(mirevo::RowSource& rows) : rows_(rows) {}
        int width() const override { return rows_.width() + 1; }
        int height() const override { return rows_.height(); }
        int bandHeight() const override { return rows_.bandHeight(); }
        std::optional<mirevo::PixelView> readRows(int top, int count) override { return rows_.readRows(top, count); }

    private:
        mirevo::RowSource& rows_;
    } liar(narrow);
    EXPECT_TRUE(mirroredPicture(liar).empty());
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
