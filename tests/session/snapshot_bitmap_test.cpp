#include "saver/session/snapshot_bitmap.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/harness/test_bitmap.h"

namespace mirevo::test {
namespace {

// A distinct colour for every pixel, so that any misplaced one shows.
uint32_t colourAt(int x, int y) {
    return uint32_t((x * 7 + 1) & 0xff) << 16 | uint32_t((y * 13 + 2) & 0xff) << 8 | uint32_t((x + y) & 0xff);
}

struct Screen {
    int width, height;
    size_t stride;
    std::vector<uint8_t> memory;
    Screen(int w, int h, size_t extraBytesPerRow)
        : width(w), height(h), stride(size_t(w) * 4 + extraBytesPerRow) {
        memory.assign(stride * size_t(h), 0xee); // row padding the writer must never copy
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t p = colourAt(x, y);
                std::memcpy(&memory[size_t(y) * stride + size_t(x) * 4], &p, 4);
            }
    }
    PixelView view() const { return {memory.data(), width, height, stride}; }
};

// Remembers which rows were asked for, and can refuse from some read on.
class RecordingRows final : public RowSource {
public:
    RecordingRows(const PixelView& view, int band, int refuseFromRead = -1)
        : rows_(view, band), refuseFrom_(refuseFromRead) {}
    int width() const override { return rows_.width(); }
    int height() const override { return rows_.height(); }
    int bandHeight() const override { return rows_.bandHeight(); }
    std::optional<PixelView> readRows(int top, int count) override {
        reads.emplace_back(top, count);
        if (refuseFrom_ >= 0 && int(reads.size()) > refuseFrom_) return std::nullopt;
        return rows_.readRows(top, count);
    }
    std::vector<std::pair<int, int>> reads; // top, count

private:
    PixelViewRows rows_;
    int refuseFrom_;
};

struct File {
    std::vector<uint8_t> bytes;
    MirrorResult result;
};

// Why the write failed; nothing when the file was written.
std::optional<MirrorFailure> failureOf(const MirrorResult& result) {
    if (result) return std::nullopt;
    return result.reason();
}

File collect(RowSource& rows) {
    File file;
    file.result = writeMirroredBitmap(rows, [&](const uint8_t* data, size_t size) {
        file.bytes.insert(file.bytes.end(), data, data + size);
        return true;
    });
    return file;
}

TEST(SnapshotBitmap, HeadersAndPixelsFollowTheBottomUpMirroredLayout) {
    struct Case {
        int width, height;
        size_t extra; // bytes after each screen row
        int band;     // rows per read
        size_t rowSize;
    };
    const Case cases[] = {
        {1, 1, 0, 64, 4},       {2, 3, 0, 1, 8},          {3, 2, 8, 64, 12},         {5, 4, 4, 3, 16},
        {7, 9, 0, 4, 24},       {1023, 7, 0, 64, 3072}, // 3069 bytes of pixels, padded to 3072
        {1024, 3, 64, 2, 3072}, {1023, 200, 4, 64, 3072}, {1024, 768, 0, 128, 3072}, {6000, 2, 0, 1, 18000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " in bands of " +
                     std::to_string(c.band));
        Screen screen(c.width, c.height, c.extra);
        RecordingRows rows(screen.view(), c.band);
        File file = collect(rows);
        ASSERT_TRUE(file.result);
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
        EXPECT_EQ(int32_t(le32(b + 22)), c.height); // positive: bottom-up
        EXPECT_EQ(le16(b + 26), 1);
        EXPECT_EQ(le16(b + 28), 24);
        EXPECT_EQ(le32(b + 30), 0u); // uncompressed
        EXPECT_EQ(le32(b + 34), c.rowSize * size_t(c.height));
        EXPECT_EQ(le32(b + 46), 0u); // no colour table
        EXPECT_EQ(le32(b + 50), 0u);

        int wrong = 0;
        for (int fileRow = 0; fileRow < c.height; ++fileRow) {
            const uint8_t* row = b + 54 + size_t(fileRow) * c.rowSize;
            const int screenY = c.height - 1 - fileRow;
            for (int x = 0; x < c.width; ++x) {
                const uint32_t expected = colourAt(c.width - 1 - x, screenY);
                const uint8_t* px = row + size_t(x) * 3;
                if (px[0] != (expected & 0xff) || px[1] != ((expected >> 8) & 0xff) ||
                    px[2] != (expected >> 16))
                    ++wrong;
            }
            for (size_t pad = size_t(c.width) * 3; pad < c.rowSize; ++pad)
                if (row[pad] != 0) ++wrong;
        }
        EXPECT_EQ(wrong, 0);

        // Every row read once, from the bottom band up, no read larger than a band.
        int expectedBottom = c.height;
        for (auto [top, count] : rows.reads) {
            EXPECT_EQ(top + count, expectedBottom);
            EXPECT_LE(count, c.band);
            EXPECT_GE(count, 1);
            expectedBottom = top;
        }
        EXPECT_EQ(expectedBottom, 0);
    }
}

TEST(SnapshotBitmap, StopsAtTheFirstBandThatCannotBeReadOrTaken) {
    Screen screen(64, 100, 0);
    for (int refuseFrom : {0, 1, 3}) {
        RecordingRows rows(screen.view(), 10, refuseFrom);
        File file = collect(rows);
        EXPECT_EQ(failureOf(file.result), MirrorFailure::PictureUnreadable);
        EXPECT_EQ(rows.reads.size(), size_t(refuseFrom + 1)) << "no read after the refused one";
    }
    for (int refuseAt : {1, 2, 5}) {
        PixelViewRows rows(screen.view(), 10);
        int pieces = 0;
        MirrorResult result =
            writeMirroredBitmap(rows, [&](const uint8_t*, size_t) { return ++pieces < refuseAt; });
        EXPECT_EQ(failureOf(result), MirrorFailure::SinkFailed);
        EXPECT_EQ(pieces, refuseAt);
    }
}

TEST(SnapshotBitmap, EmptyOrUnreadablePictureGivesNoFile) {
    uint32_t pixel = 0;
    const uint8_t* one = reinterpret_cast<uint8_t*>(&pixel);
    const std::pair<PixelView, MirrorFailure> cases[] = {
        {{nullptr, 4, 4, 16}, MirrorFailure::PictureUnreadable},
        {{one, 0, 1, 4}, MirrorFailure::EmptyPicture},
        {{one, 1, 0, 4}, MirrorFailure::EmptyPicture},
    };
    for (const auto& [view, expected] : cases) {
        PixelViewRows rows(view);
        File file = collect(rows);
        EXPECT_EQ(failureOf(file.result), expected);
        EXPECT_LE(file.bytes.size(), kBitmapHeaderSize);
    }
}

} // namespace
} // namespace mirevo::test
