// A picture larger than the GL takes, reduced while it is read: the factor, the averages, reading in bands,
// waiting for the GL's limit, abandoning the read, and running short of memory.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "viewer/box_reduce.h"
#include "viewer/snapshot_preload.h"

using namespace mirevo::viewer;
using namespace mirevo::test;

namespace {

Rgb noise(int x, int y) {
    unsigned v = unsigned(x) * 2654435761u ^ unsigned(y) * 40503u;
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
}

SideLimit limit(int side) {
    return [side](const BmpLayout&) { return side; };
}

// The block average written the plain way: one result pixel at a time, over the source rows bottom first.
BmpImage reference(const BmpImage& source, int factor) {
    BmpImage out{reducedSide(source.width, factor), reducedSide(source.height, factor), {}};
    out.pixels.assign(bmpRowBytes(out.width) * out.height, 0);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < 3; ++c) {
                unsigned sum = 0, count = 0;
                for (int sy = y * factor; sy < std::min(source.height, (y + 1) * factor); ++sy)
                    for (int sx = x * factor; sx < std::min(source.width, (x + 1) * factor); ++sx, ++count)
                        sum += source.pixels[bmpRowBytes(source.width) * sy + sx * 3 + c];
                out.pixels[bmpRowBytes(out.width) * y + x * 3 + c] = uint8_t((sum + count / 2) / count);
            }
    return out;
}

} // namespace

TEST(BoxReduce, AWholeFactorBringsTheLongerSideWithinTheLimit) {
    struct Case {
        int width, height, maxSide, factor, reducedWidth;
    };
    const Case cases[] = {
        {16385, 16385, 16384, 2, 8193}, {16384, 9000, 16384, 1, 16384}, {32768, 32768, 16384, 2, 16384},
        {32768, 1, 8192, 4, 8192},      {100, 9000, 4096, 3, 34},       {7, 5, 0, 7, 1},
    };
    for (const Case& c : cases) {
        int factor = reductionFactor(c.width, c.height, c.maxSide);
        EXPECT_EQ(factor, c.factor) << c.width << "x" << c.height << " within " << c.maxSide;
        EXPECT_EQ(reducedSide(c.width, factor), c.reducedWidth);
    }
}

TEST(BoxReduce, EachPixelIsTheRoundedAverageOfItsBlockAlsoAtTheEdges) {
    struct Case {
        int width, height, maxSide;
    };
    // Sides that divide evenly and sides that leave narrow blocks at the right and the top; rows padded or
    // not; a picture of more than one 4 MiB band of rows.
    const Case cases[] = {{8, 4, 4}, {5, 3, 2}, {7, 7, 3}, {1, 9, 2}, {6, 2, 1}, {1500, 1000, 700}};
    TempDir folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " within " +
                     std::to_string(c.maxSide));
        auto bytes = makeBmp(c.width, c.height, noise);
        BmpImage whole = std::move(*parseBmp(bytes.data(), bytes.size()).value);
        BmpImage expected = reference(whole, reductionFactor(c.width, c.height, c.maxSide));
        ASSERT_TRUE(writeFile(folder / "a.bmp", bytes));
        for (auto result : {parseBmp(bytes.data(), bytes.size(), limit(c.maxSide)),
                            loadBmpFile(folder / "a.bmp", limit(c.maxSide))}) {
            ASSERT_TRUE(result) << describe(result.refusal);
            EXPECT_EQ(result.value->width, expected.width);
            EXPECT_EQ(result.value->height, expected.height);
            EXPECT_TRUE(result.value->pixels == expected.pixels);
        }
    }
}

TEST(BoxReduce, APictureLargerThanEveryGlTakesWaitsForTheGlsLimitAndAnEndAbandonsIt) {
    TempDir folder;
    ASSERT_TRUE(writeFile(folder / "wide.bmp", makeBmp(kSideEveryGlTakes + 1, 3, noise)));
    ASSERT_TRUE(writeFile(folder / "small.bmp", makeBmp(kSideEveryGlTakes, 3, noise)));
    {
        SnapshotPreload small(folder / "small.bmp");
        EXPECT_TRUE(small.ready(std::chrono::seconds(10))) << "a picture every GL takes waits for nothing";
        EXPECT_EQ(small.take().image.value->width, kSideEveryGlTakes);
    }
    {
        SnapshotPreload wide(folder / "wide.bmp");
        EXPECT_FALSE(wide.ready(std::chrono::milliseconds(50)));
        wide.setMaxTextureSide(kSideEveryGlTakes);
        PreparedSnapshot prepared = wide.take();
        ASSERT_TRUE(prepared.image);
        EXPECT_EQ(prepared.image.value->width, kSideEveryGlTakes / 2 + 1);
        EXPECT_EQ(prepared.image.value->height, 2);
        EXPECT_EQ(prepared.smallerLevels.size(), 11u);
    }
    // Ending before the GL has said must not hang; a read already abandoned stops.
    { SnapshotPreload abandoned(folder / "wide.bmp"); }
    std::atomic<bool> cancelled{true};
    EXPECT_EQ(loadBmpFile(folder / "small.bmp", {}, &cancelled).refusal, BmpRefusal::Cancelled);
}

// In a process of its own: the address space the process holds, and room for a 6144 x 6144 picture beyond it,
// but not for its smaller levels too. Ends with 0 when the picture is refused for want of memory.
void prepareWithLittleRoom(const std::string& path) {
    std::string status = readFile("/proc/self/status");
    const rlim_t room =
        (rlim_t(std::atol(status.c_str() + status.find("VmSize:") + 7)) << 10) + (rlim_t(130) << 20);
    rlimit limit{room, room};
    setrlimit(RLIMIT_AS, &limit);
    std::_Exit(prepareSnapshot(path).image.refusal == BmpRefusal::OutOfMemory ? 0 : 1);
}

TEST(BoxReduce, NoRoomForThePictureOrItsLevelsRefusesItInsteadOfAborting) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit leaves";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process, whose address space is all in use
    TempDir folder;
    for (int side : {16384, 6144}) { // the picture itself, then its smaller levels find no room
        auto header = makeBmp(1, 1, noise);
        header.resize(54);
        put32(header, 18, uint32_t(side)), put32(header, 22, uint32_t(side)), put32(header, 34, 0);
        std::string path = folder / "big.bmp";
        ASSERT_TRUE(writeFile(path, header));
        ASSERT_EQ(truncate(path.c_str(), off_t(54 + bmpRowBytes(side) * size_t(side))), 0);
        EXPECT_EXIT(prepareWithLittleRoom(path), ::testing::ExitedWithCode(0), "") << side;
    }
#endif
}
