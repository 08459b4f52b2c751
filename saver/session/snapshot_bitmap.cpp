#include "saver/session/snapshot_bitmap.h"

#include <cstring>

namespace mirevo {
namespace {

void put16(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

void writeHeaders(uint8_t* out, int width, int height, size_t pixelBytes) {
    std::memset(out, 0, kBitmapHeaderSize);
    out[0] = 'B';
    out[1] = 'M';
    put32(out + 2, uint32_t(kBitmapHeaderSize + pixelBytes));
    put32(out + 10, uint32_t(kBitmapHeaderSize));
    put32(out + 14, 40);
    put32(out + 18, uint32_t(width));
    put32(out + 22, uint32_t(height));  // positive: bottom-up
    put16(out + 26, 1);
    put16(out + 28, 24);
    put32(out + 34, uint32_t(pixelBytes));
    // 96 dots per inch, the resolution the screen is taken at.
    put32(out + 38, 3780);
    put32(out + 42, 3780);
}

} // namespace

BitmapFile mirroredBitmapFile(const PixelView& picture) {
    const int w = picture.width, h = picture.height;
    if (!picture.data || w <= 0 || h <= 0) return {};
    const size_t rowSize = bitmapRowSize(w);
    BitmapFile file{std::unique_ptr<uint8_t[]>(new uint8_t[bitmapFileSize(w, h)]), bitmapFileSize(w, h)};
    writeHeaders(file.bytes.get(), w, h, rowSize * size_t(h));

    uint8_t* row = file.bytes.get() + kBitmapHeaderSize;
    for (int fileRow = 0; fileRow < h; ++fileRow, row += rowSize) {
        uint32_t source[1];
        const uint8_t* screenRow = picture.data + size_t(h - 1 - fileRow) * picture.stride;
        uint8_t* out = row;
        // The file's leftmost pixel is the screen row's rightmost.
        for (int x = w - 1; x >= 0; --x, out += 3) {
            std::memcpy(source, screenRow + size_t(x) * 4, 4);
            out[0] = uint8_t(source[0]);        // blue
            out[1] = uint8_t(source[0] >> 8);   // green
            out[2] = uint8_t(source[0] >> 16);  // red
        }
        for (uint8_t* pad = out; pad < row + rowSize; ++pad) *pad = 0;
    }
    return file;
}

} // namespace mirevo
