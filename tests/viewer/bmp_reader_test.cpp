// The snapshot reader: what it accepts, and every kind of file it must refuse, from memory and from disk.
#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "viewer/picture/bmp_reader.h"

using namespace mirevo::viewer;
using namespace mirevo::test;

namespace {

Rgb gradient(int x, int y) {
    return {uint8_t(x * 7), uint8_t(y * 13), uint8_t(x + y)};
}

BmpRefusal refusalFromDisk(const std::vector<uint8_t>& bytes) {
    TempDir folder;
    std::string path = folder / "Tovik.bmp";
    EXPECT_TRUE(writeFile(path, bytes));
    return refusalOf(loadBmpFile(path));
}

} // namespace

TEST(BmpReader, RefusesWhatTheUploadCannotTakeSafely) {
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> spoil;
        BmpRefusal expected;
    };
    const Case cases[] = {
        {"empty file", [](auto& b) { b.clear(); }, BmpRefusal::ShortHeader},
        {"13 bytes", [](auto& b) { b.resize(13); }, BmpRefusal::ShortHeader},
        {"file header only", [](auto& b) { b.resize(14); }, BmpRefusal::ShortHeader},
        {"cut inside the info header", [](auto& b) { b.resize(40); }, BmpRefusal::ShortHeader},
        {"not BM", [](auto& b) { b[0] = 'M', b[1] = 'B'; }, BmpRefusal::NotBitmap},
        {"PNG signature", [](auto& b) { b[0] = 0x89, b[1] = 'P'; }, BmpRefusal::NotBitmap},
        {"32 bits", [](auto& b) { put16(b, 28, 32); }, BmpRefusal::NotTwentyFourBit},
        {"8 bits", [](auto& b) { put16(b, 28, 8); }, BmpRefusal::NotTwentyFourBit},
        {"RLE compressed", [](auto& b) { put32(b, 30, 1); }, BmpRefusal::Compressed},
        {"bit fields", [](auto& b) { put32(b, 30, 3); }, BmpRefusal::Compressed},
        {"width 0", [](auto& b) { put32(b, 18, 0); }, BmpRefusal::BadWidth},
        {"width negative", [](auto& b) { put32(b, 18, uint32_t(-16)); }, BmpRefusal::BadWidth},
        {"height 0", [](auto& b) { put32(b, 22, 0); }, BmpRefusal::BadHeight},
        {"top-down", [](auto& b) { put32(b, 22, uint32_t(-8)); }, BmpRefusal::TopDown},
        {"height INT_MIN", [](auto& b) { put32(b, 22, 0x80000000u); }, BmpRefusal::TopDown},
        {"width above 32768", [](auto& b) { put32(b, 18, 32769); }, BmpRefusal::TooLarge},
        {"height above 32768", [](auto& b) { put32(b, 22, 40000); }, BmpRefusal::TooLarge},
        {"huge width", [](auto& b) { put32(b, 18, 0x7FFFFFFF); }, BmpRefusal::TooLarge},
        {"pixel offset 0", [](auto& b) { put32(b, 10, 0); }, BmpRefusal::BadPixelOffset},
        {"pixel offset 53", [](auto& b) { put32(b, 10, 53); }, BmpRefusal::BadPixelOffset},
        {"pixel offset beyond the file", [](auto& b) { put32(b, 10, uint32_t(b.size() + 1)); },
         BmpRefusal::BadPixelOffset},
        {"pixel offset 4 GB", [](auto& b) { put32(b, 10, 0xFFFFFFFFu); }, BmpRefusal::BadPixelOffset},
        {"truncated by one byte", [](auto& b) { b.pop_back(); }, BmpRefusal::ShortPixelData},
        {"truncated, size computed", [](auto& b) { put32(b, 34, 0), b.pop_back(); },
         BmpRefusal::ShortPixelData},
        {"declared size shorter than the rows", [](auto& b) { put32(b, 34, 12 * 12 - 1); },
         BmpRefusal::ShortPixelData},
        {"declared size 4 GB", [](auto& b) { put32(b, 34, 0xFFFFFFFFu); }, BmpRefusal::ShortPixelData},
        {"declared size past the end", [](auto& b) { put32(b, 34, uint32_t(b.size())); },
         BmpRefusal::ShortPixelData},
        {"pixel offset at the end", [](auto& b) { put32(b, 10, uint32_t(b.size())); },
         BmpRefusal::ShortPixelData},
        {"taller than the data", [](auto& b) { put32(b, 22, 13), put32(b, 34, 0); },
         BmpRefusal::ShortPixelData},
        {"32768 x 32768 in a small file",
         [](auto& b) { put32(b, 18, 32768), put32(b, 22, 32768), put32(b, 34, 0); },
         BmpRefusal::ShortPixelData},
    };
    for (const Case& c : cases) {
        auto bytes = makeBmp(4, 12, gradient); // rows of 12 bytes, no padding
        c.spoil(bytes);
        auto parsed = parseBmp(bytes.data(), bytes.size());
        EXPECT_FALSE(parsed) << c.what;
        EXPECT_EQ(refusalOf(parsed), c.expected) << c.what << ": " << describe(refusalOf(parsed));
        EXPECT_EQ(refusalFromDisk(bytes), c.expected) << c.what << " (from disk)";
    }
}

TEST(BmpReader, ReadsRowsPaddedToFourBytesBottomRowFirst) {
    struct Case {
        int width, height;
        size_t gap;
        bool declareSize;
        size_t rowBytes;
    };
    const Case cases[] = {
        {1023, 3, 0, false, 3072}, // 3069 bytes of pixels, padded to 3072
        {1023, 3, 0, true, 3072},   {1, 1, 0, false, 4},
        {2, 2, 1024, false, 8}, // a 256-entry colour table between the headers and the pixels
        {5, 4, 68, true, 16},   // a larger info header
        {32768, 1, 0, true, 98304},
    };
    TempDir folder;
    for (const Case& c : cases) {
        auto bytes = makeBmp(c.width, c.height, gradient, c.gap, c.declareSize);
        ASSERT_TRUE(writeFile(folder / "a.bmp", bytes));
        for (auto result : {parseBmp(bytes.data(), bytes.size()), loadBmpFile(folder / "a.bmp")}) {
            ASSERT_TRUE(result) << c.width << "x" << c.height << ": " << describe(refusalOf(result));
            const Picture& image = *result;
            EXPECT_EQ(image.width, c.width);
            EXPECT_EQ(image.height, c.height);
            ASSERT_EQ(image.pixels.size(), c.rowBytes * c.height);
            // The first row held is the bottom of the picture; pixels are blue, green, red.
            for (int x : {0, c.width / 2, c.width - 1}) {
                Rgb want = gradient(x, c.height - 1);
                const uint8_t* p = &image.pixels[size_t(x) * 3];
                EXPECT_EQ((Rgb{p[2], p[1], p[0]}), want) << c.width << "x" << c.height << " x=" << x;
                Rgb topWant = gradient(x, 0);
                const uint8_t* q = &image.pixels[c.rowBytes * (c.height - 1) + size_t(x) * 3];
                EXPECT_EQ((Rgb{q[2], q[1], q[0]}), topWant);
            }
        }
    }
}

TEST(BmpReader, ExtraBytesAfterTheRowsAreLeftUnread) {
    auto bytes = makeBmp(3, 2, gradient);
    bytes.resize(bytes.size() + 100, 0xEE);
    put32(bytes, 34, uint32_t(2 * 12 + 100)); // a declared size longer than the rows, and in the file
    auto result = parseBmp(bytes.data(), bytes.size());
    ASSERT_TRUE(result);
    EXPECT_EQ(result->pixels.size(), 24u);
}

TEST(BmpReader, OpensOnlyRegularFilesAndNeverFollowsALink) {
    TempDir folder;
    auto bytes = makeBmp(4, 4, gradient);
    ASSERT_TRUE(writeFile(folder / "real.bmp", bytes));
    ASSERT_TRUE(loadBmpFile(folder / "real.bmp"));
    ASSERT_EQ(symlink((folder / "real.bmp").c_str(), (folder / "link.bmp").c_str()), 0);
    ASSERT_EQ(mkfifo((folder / "fifo.bmp").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((folder / "folder.bmp").c_str(), 0700), 0);
    for (const char* name : {"link.bmp", "fifo.bmp", "folder.bmp", "missing.bmp"})
        EXPECT_EQ(refusalOf(loadBmpFile(folder / name)), BmpRefusal::CannotOpen) << name;
    EXPECT_EQ(refusalOf(loadBmpFile("")), BmpRefusal::CannotOpen);
}
