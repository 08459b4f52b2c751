// The mirror from the X server's pixels into a bitmap's row, which the saver's snapshot and the hack's
// picture share: every width's tail (the wide stores stop short of the row's end), the padding zeroed, and
// nothing written past the row, however tight.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/bitmap_rows.h"

using namespace mirevo;

namespace {

// A distinct colour for every pixel, the unused top byte set, as a server may leave it.
uint32_t colourAt(int x) {
    return 0xff000000u | uint32_t((x * 7 + 1) & 0xff) << 16 | uint32_t((x * 13 + 2) & 0xff) << 8 |
           uint32_t((x * 29 + 3) & 0xff);
}

} // namespace

TEST(BitmapRows, AMirroredRowHoldsEveryPixelZeroPaddingAndNothingPastIt) {
    constexpr size_t kGuard = 16;
    constexpr uint8_t kUntouched = 0xee;
    for (const int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 16, 17, 1023, 1024}) {
        // The source row is followed by what the next row or the server's padding holds.
        std::vector<uint8_t> source(size_t(width) * 4 + 16, kUntouched);
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = colourAt(x);
            std::memcpy(&source[size_t(x) * 4], &pixel, 4);
        }
        // A file's padded row, and a row of pixels alone (the reduction's scratch row).
        for (const size_t outBytes : {bitmapRowSize(width), size_t(width) * 3}) {
            SCOPED_TRACE("width " + std::to_string(width) + " into " + std::to_string(outBytes) + " bytes");
            std::vector<uint8_t> out(outBytes + kGuard, kUntouched);
            mirrorRowToBgr(source.data(), width, out.data(), outBytes);
            int wrong = 0;
            for (int x = 0; x < width; ++x) {
                const uint32_t expected = colourAt(width - 1 - x);
                const uint8_t* p = &out[size_t(x) * 3];
                wrong += p[0] != uint8_t(expected) || p[1] != uint8_t(expected >> 8) ||
                         p[2] != uint8_t(expected >> 16);
            }
            EXPECT_EQ(wrong, 0);
            for (size_t i = size_t(width) * 3; i < outBytes; ++i)
                EXPECT_EQ(out[i], 0) << "padding byte " << i;
            for (size_t i = outBytes; i < out.size(); ++i)
                ASSERT_EQ(out[i], kUntouched) << "written past the row at " << i;
        }
    }
}
