// The mipmap levels built on the processor, and which way the chain gets built for a given context.
#include <gtest/gtest.h>

#include "tests/harness/test_bitmap.h"
#include "viewer/picture/bmp_reader.h"
#include "viewer/picture/mipmap_levels.h"
#include "viewer/picture/rgba_levels.h"
#include "viewer/scene/mipmap_path.h"

using namespace mirevo::viewer;

namespace {

Picture imageOf(int width, int height, const std::function<mirevo::test::Rgb(int, int)>& colour) {
    auto bytes = mirevo::test::makeBmp(width, height, colour);
    return std::move(*parseBmp(bytes.data(), bytes.size()));
}

mirevo::test::Rgb pixel(const Picture& image, int x, int rowFromBottom) {
    size_t row = (size_t(image.width) * 3 + 3) & ~size_t{3};
    const uint8_t* p = &image.pixels[row * rowFromBottom + size_t(x) * 3];
    return {p[2], p[1], p[0]};
}

} // namespace

TEST(MipmapLevels, HalveDownToOnePixelAsTheGlSizesLevels) {
    struct Case {
        int width, height, levels;
    };
    const Case cases[] = {{1920, 1080, 11}, {1023, 3, 10}, {1, 7, 3}, {5, 1, 3}, {1, 1, 1}};
    for (const Case& c : cases) {
        Picture level = imageOf(c.width, c.height, [](int, int) { return mirevo::test::Rgb{9, 9, 9}; });
        int levels = 1;
        while (level.width > 1 || level.height > 1) {
            Picture next = halveImage(level);
            EXPECT_EQ(next.width, std::max(1, level.width / 2));
            EXPECT_EQ(next.height, std::max(1, level.height / 2));
            EXPECT_EQ(next.pixels.size(), ((size_t(next.width) * 3 + 3) & ~size_t{3}) * next.height);
            EXPECT_EQ(pixel(next, next.width - 1, next.height - 1), (mirevo::test::Rgb{9, 9, 9}));
            level = std::move(next);
            ++levels;
        }
        EXPECT_EQ(levels, c.levels) << c.width << "x" << c.height;
    }
}

TEST(MipmapLevels, AverageEachTwoByTwoBlock) {
    // 4 x 2: left block black and white, right block all red; rows padded from 12 to 12 bytes.
    Picture image = imageOf(4, 2, [](int x, int y) {
        if (x >= 2) return mirevo::test::Rgb{200, 0, 0};
        return (x + y) % 2 ? mirevo::test::Rgb{255, 255, 255} : mirevo::test::Rgb{0, 0, 0};
    });
    Picture half = halveImage(image);
    ASSERT_EQ(half.width, 2);
    ASSERT_EQ(half.height, 1);
    EXPECT_EQ(pixel(half, 0, 0), (mirevo::test::Rgb{128, 128, 128}));
    EXPECT_EQ(pixel(half, 1, 0), (mirevo::test::Rgb{200, 0, 0}));
    // A single column pairs rows only.
    Picture column = imageOf(1, 2, [](int, int y) {
        return y ? mirevo::test::Rgb{0, 100, 0} : mirevo::test::Rgb{0, 0, 0};
    });
    EXPECT_EQ(pixel(halveImage(column), 0, 0), (mirevo::test::Rgb{0, 50, 0}));
}

TEST(MipmapLevels, OneHalverForBothPixelSizesRoundsHalfUpAndKeepsToItsPixels) {
    // Each 2 x 2 block holds, channel by channel, sums of 7, 5 and 6 (means 1.75, 1.25 and 1.5): 2, 1 and 2
    // rounded half up; a fourth byte (an opaque alpha) stays 255. An odd last column (200s) is left out.
    const auto rows = [](int width, int bytes, bool bottom) {
        const uint8_t pixels[2][2][4] = {{{1, 1, 1, 255}, {2, 1, 1, 255}}, {{2, 1, 2, 255}, {2, 2, 2, 255}}};
        std::vector<uint8_t> row;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < bytes; ++c)
                row.push_back(x == width - 1 && width % 2 ? 200 : pixels[bottom][x % 2][c]);
        return row;
    };
    struct Case {
        int width, bytes;
    };
    // Widths whose halves take the two-at-a-time way alone, with one more pixel, or not at all.
    const Case cases[] = {{2, 3}, {3, 3}, {9, 3}, {2, 4}, {4, 4}, {5, 4}, {7, 4}, {16, 4}, {17, 4}};
    constexpr size_t kGuard = 8;
    constexpr uint8_t kMeans[4] = {2, 1, 2, 255};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " pixels of " + std::to_string(c.bytes) + " bytes");
        const std::vector<uint8_t> top = rows(c.width, c.bytes, false), bottom = rows(c.width, c.bytes, true);
        const size_t outBytes = size_t(c.width / 2) * c.bytes;
        std::vector<uint8_t> out(outBytes + kGuard, 0xcd);
        halveRow(top.data(), bottom.data(), c.width, c.bytes, out.data());
        for (size_t i = 0; i < outBytes; ++i)
            EXPECT_EQ(out[i], kMeans[i % c.bytes]) << "byte " << i;
        for (size_t i = outBytes; i < out.size(); ++i)
            EXPECT_EQ(out[i], 0xcd) << "written past the row at " << i;
    }

    // Sides of 1 pair a column or a row with itself: 0 and 1 make 1, 10 and 20 make 15.
    const uint8_t column[2][4] = {{0, 10, 255, 255}, {1, 20, 254, 255}};
    for (const int bytes : {3, 4}) {
        uint8_t out[4] = {0xcd, 0xcd, 0xcd, 0xcd};
        halveRow(column[0], column[1], 1, bytes, out);
        EXPECT_EQ(std::vector<uint8_t>(out, out + 4),
                  (std::vector<uint8_t>{1, 15, 255, uint8_t(bytes == 4 ? 255 : 0xcd)}));
    }
    const uint8_t row[8] = {0, 10, 255, 255, 1, 20, 254, 255};
    uint8_t fromOneRow[4] = {};
    halveRow(row, row, 2, 4, fromOneRow);
    EXPECT_EQ(std::vector<uint8_t>(fromOneRow, fromOneRow + 4), (std::vector<uint8_t>{1, 15, 255, 255}));

    // A whole level of padded rows: the source's padding is never averaged in, the result's never written.
    // 5 x 3 blue-green-red pixels, rows of 16 bytes; 2 x 1 pixels into a row of 8.
    std::vector<uint8_t> level(16 * 3, 0xee);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            for (int c = 0; c < 3; ++c)
                level[size_t(y) * 16 + size_t(x) * 3 + c] = uint8_t(y == 2 || x == 4 ? 200 : 4 * (x + y) + c);
    std::vector<uint8_t> half(8, 0xcd);
    halveLevel(level.data(), 16, 5, 3, 3, half.data(), 8);
    // Left block: 0+4+4+8 (+c each) = 16 + 4c, mean 4 + c; right block: 8+12+12+16 = 48 + 4c, mean 12 + c.
    EXPECT_EQ(half, (std::vector<uint8_t>{4, 5, 6, 12, 13, 14, 0xcd, 0xcd}));
}

TEST(MipmapPath, GlBuildsTheChainWhereItCanAndFastSoGluOtherwise) {
    struct Case {
        const char* what;
        GlCapabilities caps;
        int width, height;
        MipmapPath expected;
    };
    const GlVersion v11{1, 1}, v14{1, 4}, v21{2, 1}, v45{4, 5};
    const Case cases[] = {
        {"hardware 4.5", {v45, false, false, false, false, 16384}, 1920, 1080, MipmapPath::GlGenerate},
        {"llvmpipe 4.5", {v45, false, false, false, true, 16384}, 1920, 1080, MipmapPath::CpuLevels},
        {"plain 1.1", {v11, false, false, false, false, 2048}, 1024, 768, MipmapPath::Glu},
        {"1.1 with extensions", {v11, true, true, true, false, 4096}, 1920, 1080, MipmapPath::GlGenerate},
        {"1.1, bgra and npot, software",
         {v11, false, true, true, true, 4096},
         1920,
         1080,
         MipmapPath::CpuLevels},
        {"1.4 without npot, odd size", {v14, false, false, false, false, 4096}, 1920, 1080, MipmapPath::Glu},
        {"1.4 without npot, square",
         {v14, false, false, false, false, 4096},
         1024,
         512,
         MipmapPath::GlGenerate},
        {"2.1 texture too small", {v21, false, false, false, false, 2048}, 3840, 2160, MipmapPath::Glu},
        {"2.1 at the limit", {v21, false, false, false, false, 4096}, 4096, 2160, MipmapPath::GlGenerate},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseMipmapPath(c.caps, c.width, c.height), c.expected) << c.what;
}

TEST(MipmapPath, ReadsVersionsAndWholeExtensionNames) {
    auto v = parseGlVersion("4.5 (Compatibility Profile) Mesa 22.3.6");
    ASSERT_TRUE(v);
    EXPECT_EQ(std::make_pair(v->major, v->minor), std::make_pair(4, 5));
    for (const char* bad : {"OpenGL ES 3.2 Mesa", "4", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(parseGlVersion(bad)) << (bad ? bad : "null");
    const char* list = "GL_ARB_multitexture GL_EXT_bgra_plus GL_EXT_bgra";
    EXPECT_TRUE(hasExtension(list, "GL_EXT_bgra"));
    EXPECT_TRUE(hasExtension(list, "GL_ARB_multitexture"));
    EXPECT_FALSE(hasExtension(list, "GL_ARB_multi"));
    EXPECT_FALSE(hasExtension(list, "ARB_multitexture"));
    EXPECT_TRUE(isSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_FALSE(isSoftwareRenderer("AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49)"));
}

TEST(MipmapLevels, TheRgbaLevelsHoldTheColoursOfThePictureAndItsHalves) {
    struct Case {
        int width, height;
    };
    // Odd sides (rows padded), sides of 1, a width whose rows have no padding, and levels whose widths end
    // in one pixel past a pair or in none.
    const Case cases[] = {{1, 1}, {1, 5}, {7, 1}, {5, 3}, {37, 21}, {64, 2}, {3, 17}, {11, 6}, {130, 67}, {2, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const Picture picture = imageOf(c.width, c.height, [](int x, int y) {
            return mirevo::test::Rgb{uint8_t(x * 37 + y), uint8_t(y * 11 ^ x), uint8_t(255 - x * y)};
        });
        std::vector<Picture> smaller;
        smaller.reserve(32); // no reallocation moves the level being halved
        for (const Picture* level = &picture; level->width > 1 || level->height > 1; level = &smaller.back())
            smaller.push_back(halveImage(*level));
        auto expectSame = [](const uint8_t* rgba, const Picture& expected, const std::string& what) {
            for (int y = 0; y < expected.height; ++y)
                for (int x = 0; x < expected.width; ++x) {
                    const uint8_t* p = rgba + (size_t(y) * expected.width + x) * 4;
                    ASSERT_EQ((mirevo::test::Rgb{p[0], p[1], p[2]}), pixel(expected, x, y))
                        << what << " at " << x << "," << y;
                    ASSERT_EQ(p[3], 255) << what;
                }
        };
        std::vector<uint8_t> zero(size_t(c.width) * c.height * 4);
        bgrRowsToRgba(picture, 0, c.height / 2, zero.data());
        bgrRowsToRgba(picture, c.height / 2, c.height, zero.data() + size_t(c.width) * 4 * (c.height / 2));
        expectSame(zero.data(), picture, "level 0");
        const RgbaLevels built = rgbaSmallerLevels(picture);
        const std::vector<RgbaLevel>& levels = built.levels;
        ASSERT_EQ(levels.size(), smaller.size());
        for (size_t i = 0; i < levels.size(); ++i) {
            ASSERT_EQ(levels[i].width, smaller[i].width);
            ASSERT_EQ(levels[i].height, smaller[i].height);
            expectSame(levels[i].pixels, smaller[i], "level " + std::to_string(i + 1));
        }
    }
}
