// A picture larger than the GL takes, reduced while it is read: the factor, the averages, reading in bands,
// waiting for the GL's limit, abandoning the read, and running short of memory.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "viewer/picture/box_reduce.h"
#include "viewer/picture/snapshot_preload.h"

using namespace mirevo::viewer;
using namespace mirevo::test;

namespace {

SideLimit limit(int side) {
    return [side](const BmpLayout&) { return side; };
}

#if !defined(__SANITIZE_ADDRESS__)
// In a process of its own: room for what the process holds and a 6144 x 6144 picture beyond it, but not for
// its smaller levels too. Ends with 0 when the picture is refused for want of memory.
void prepareWithLittleRoom(const std::string& path) {
    std::string status = readFile("/proc/self/status");
    rlim_t room =
        (rlim_t(std::atol(status.c_str() + status.find("VmSize:") + 7)) << 10) + (rlim_t(130) << 20);
    rlimit limit{room, room};
    setrlimit(RLIMIT_AS, &limit);
    std::_Exit(refusalOf(prepareSnapshot(path).image) == BmpRefusal::OutOfMemory ? 0 : 1);
}
#endif

} // namespace

TEST(BoxReduce, AWholeFactorBringsTheLongerSideWithinTheLimit) {
    // Width, height, limit, factor, reduced width.
    const int cases[][5] = {{16385, 16385, 16384, 2, 8193},
                            {16384, 9000, 16384, 1, 16384},
                            {100, 9000, 4096, 3, 34},
                            {7, 5, 0, 7, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(reductionFactor(c[0], c[1], c[2]), c[3]) << c[0] << "x" << c[1] << " within " << c[2];
        EXPECT_EQ(reducedSide(c[0], c[3]), c[4]);
    }
}

TEST(BoxReduce, EachPixelIsTheRoundedAverageOfItsBlockAtTheEdgesAndAcrossBands) {
    // 3 x 3 within 2: blocks of 4, 2, 2 and 1 pixels; blue values by row from the bottom.
    const uint8_t blue[3][3] = {{10, 20, 31}, {40, 50, 60}, {70, 80, 90}};
    auto small = makeBmp(3, 3, [&](int x, int y) { return Rgb{0, 0, blue[2 - y][x]}; });
    auto reduced = parseBmp(small.data(), small.size(), limit(2));
    ASSERT_TRUE(reduced);
    ASSERT_EQ(reduced->pixels.size(), 16u); // 2 x 2, rows padded to 8 bytes
    const auto& p = reduced->pixels;
    EXPECT_EQ((std::vector<int>{p[0], p[3], p[8], p[11]}), (std::vector<int>{30, 46, 75, 90}));

    // 1500 x 1000 within 700, from disk: bands of 4 MiB, blocks of 3 rows across them, a last block of one.
    TempDir folder;
    ASSERT_TRUE(writeFile(folder / "a.bmp", makeBmp(1500, 1000, [](int, int y) {
                              return Rgb{0, uint8_t(y / 4), 0};
                          })));
    auto read = loadBmpFile(folder / "a.bmp", limit(700));
    ASSERT_TRUE(read) << describe(refusalOf(read));
    ASSERT_EQ(read->height, 334);
    for (int row = 0; row < 334; ++row) {
        int sum = 0, count = 0;
        for (int fileRow = 3 * row; fileRow < std::min(1000, 3 * row + 3); ++fileRow, ++count)
            sum += (999 - fileRow) / 4;
        ASSERT_EQ(read->pixels[bmpRowBytes(500) * row + 1], (sum + count / 2) / count) << "row " << row;
    }
}

TEST(BoxReduce, APictureLargerThanEveryGlTakesWaitsForTheGlsLimitAndAnEndAbandonsIt) {
    TempDir folder;
    ASSERT_TRUE(
        writeFile(folder / "wide.bmp", makeBmp(kSideEveryGlTakes + 1, 3, [](int, int) { return Rgb{}; })));
    {
        SnapshotPreload wide(folder / "wide.bmp");
        EXPECT_FALSE(wide.ready(std::chrono::milliseconds(50)));
        wide.setMaxTextureSide(kSideEveryGlTakes);
        PreparedSnapshot prepared = wide.take();
        ASSERT_TRUE(prepared.image);
        EXPECT_EQ(prepared.image->width, kSideEveryGlTakes / 2 + 1);
        EXPECT_EQ(prepared.smallerLevels.size(), 11u);
    }
    // Ending before the GL has said must not hang; a read already abandoned stops.
    { SnapshotPreload abandoned(folder / "wide.bmp"); }
    std::atomic<bool> cancelled{true};
    EXPECT_EQ(refusalOf(loadBmpFile(folder / "wide.bmp", {}, &cancelled)), BmpRefusal::Cancelled);
}

TEST(BoxReduce, NoRoomForThePictureOrItsLevelsRefusesItInsteadOfAborting) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit leaves";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process, whose address space is all in use
    TempDir folder;
    for (int side : {16384, 6144}) { // the picture itself, then its smaller levels find no room
        ASSERT_TRUE(writeSparseBmp(folder / "big.bmp", side, side));
        EXPECT_EXIT(prepareWithLittleRoom(folder / "big.bmp"), ::testing::ExitedWithCode(0), "") << side;
    }
#endif
}
