#include "saver/session/snapshot_bitmap.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace mirevo::test {
namespace {

uint32_t le32(const uint8_t* at) { return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24; }
uint16_t le16(const uint8_t* at) { return uint16_t(at[0] | at[1] << 8); }

// A distinct colour for every pixel, so that any misplaced one shows.
uint32_t colourAt(int x, int y) { return uint32_t((x * 7 + 1) & 0xff) << 16 | uint32_t((y * 13 + 2) & 0xff) << 8 | uint32_t((x + y) & 0xff); }

struct File {
    std::vector<uint8_t> bytes;
    int pieces = 0;
    bool complete = false;
};

File collect(const PixelView& view) {
    File file;
    file.complete = writeMirroredBitmap(view, [&](const uint8_t* data, size_t size) {
        file.bytes.insert(file.bytes.end(), data, data + size);
        ++file.pieces;
        return true;
    });
    return file;
}

struct Screen {
    int width, height;
    size_t stride;
    std::vector<uint8_t> memory;
    Screen(int w, int h, size_t extraBytesPerRow) : width(w), height(h), stride(size_t(w) * 4 + extraBytesPerRow) {
        memory.assign(stride * size_t(h), 0xee);  // row padding the writer must never copy
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t p = colourAt(x, y);
                std::memcpy(&memory[size_t(y) * stride + size_t(x) * 4], &p, 4);
            }
    }
    PixelView view() const { return {memory.data(), width, height, stride}; }
};

TEST(SnapshotBitmap, HeadersAndPixelsFollowTheBottomUpMirroredLayout) {
    struct Case {
        int width, height;
        size_t extra;
        size_t rowSize;
    };
    const Case cases[] = {
        {1, 1, 0, 4},   {2, 3, 0, 8},     {3, 2, 8, 12},        {5, 4, 4, 16},
        {1023, 7, 0, 3072},  // 3069 bytes of pixels, padded to 3072
        {1024, 3, 64, 3072},
        {1023, 200, 4, 3072},  // more rows than one piece holds
        {1024, 768, 0, 3072},
        {6000, 2, 0, 18000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        Screen screen(c.width, c.height, c.extra);
        File file = collect(screen.view());
        ASSERT_TRUE(file.complete);
        EXPECT_EQ(file.pieces > 2, c.height >= 200) << "a screen-sized file is handed over in pieces";
        ASSERT_EQ(bitmapRowSize(c.width), c.rowSize);
        ASSERT_EQ(file.bytes.size(), 54 + c.rowSize * size_t(c.height));
        ASSERT_EQ(bitmapFileSize(c.width, c.height), file.bytes.size());
        const uint8_t* b = file.bytes.data();

        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(le32(b + 2), file.bytes.size());
        EXPECT_EQ(le16(b + 6), 0);
        EXPECT_EQ(le16(b + 8), 0);
        EXPECT_EQ(le32(b + 10), 54u);
        EXPECT_EQ(le32(b + 14), 40u);
        EXPECT_EQ(int32_t(le32(b + 18)), c.width);
        EXPECT_EQ(int32_t(le32(b + 22)), c.height);  // positive: bottom-up
        EXPECT_EQ(le16(b + 26), 1);
        EXPECT_EQ(le16(b + 28), 24);
        EXPECT_EQ(le32(b + 30), 0u);  // uncompressed
        EXPECT_EQ(le32(b + 34), c.rowSize * size_t(c.height));
        EXPECT_EQ(le32(b + 46), 0u);  // no colour table
        EXPECT_EQ(le32(b + 50), 0u);

        int wrong = 0;
        for (int fileRow = 0; fileRow < c.height; ++fileRow) {
            const uint8_t* row = b + 54 + size_t(fileRow) * c.rowSize;
            const int screenY = c.height - 1 - fileRow;
            for (int x = 0; x < c.width; ++x) {
                const uint32_t expected = colourAt(c.width - 1 - x, screenY);
                const uint8_t* px = row + size_t(x) * 3;
                if (px[0] != (expected & 0xff) || px[1] != ((expected >> 8) & 0xff) || px[2] != (expected >> 16))
                    ++wrong;
            }
            for (size_t pad = size_t(c.width) * 3; pad < c.rowSize; ++pad)
                if (row[pad] != 0) ++wrong;
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(SnapshotBitmap, EmptyPictureGivesNoFile) {
    uint32_t pixel = 0;
    for (PixelView view : {PixelView{nullptr, 4, 4, 16}, PixelView{reinterpret_cast<uint8_t*>(&pixel), 0, 1, 4},
                           PixelView{reinterpret_cast<uint8_t*>(&pixel), 1, 0, 4}}) {
        File file = collect(view);
        EXPECT_FALSE(file.complete);
        EXPECT_TRUE(file.bytes.empty());
    }
}

TEST(SnapshotBitmap, StopsAtTheFirstPieceTheSinkRefuses) {
    Screen screen(1024, 768, 0);
    for (int refuseAt : {1, 2, 5}) {
        int pieces = 0;
        bool complete = writeMirroredBitmap(screen.view(), [&](const uint8_t*, size_t) { return ++pieces < refuseAt; });
        EXPECT_FALSE(complete);
        EXPECT_EQ(pieces, refuseAt);
    }
}

} // namespace
} // namespace mirevo::test
