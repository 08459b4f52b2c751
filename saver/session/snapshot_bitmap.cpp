#include "saver/session/snapshot_bitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mirevo {
namespace {

void put16(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = uint8_t(value >> (8 * i));
}

void writeHeaders(uint8_t* out, int width, int height, size_t pixelBytes) {
    std::memset(out, 0, kBitmapHeaderSize);
    out[0] = 'B';
    out[1] = 'M';
    put32(out + 2, uint32_t(kBitmapHeaderSize + pixelBytes));
    put32(out + 10, uint32_t(kBitmapHeaderSize));
    put32(out + 14, 40);
    put32(out + 18, uint32_t(width));
    put32(out + 22, uint32_t(height)); // positive: bottom-up
    put16(out + 26, 1);
    put16(out + 28, 24);
    put32(out + 34, uint32_t(pixelBytes));
    // 96 dots per inch, the resolution the screen is taken at.
    put32(out + 38, 3780);
    put32(out + 42, 3780);
}

} // namespace

MirrorResult writeMirroredBitmap(RowSource& picture, const ByteSink& sink) {
    const int w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 0) return Failure(MirrorFailure::EmptyPicture);
    const size_t rowSize = bitmapRowSize(w);
    uint8_t headers[kBitmapHeaderSize];
    writeHeaders(headers, w, h, rowSize * size_t(h));
    if (!sink(headers, sizeof headers)) return Failure(MirrorFailure::SinkFailed);

    const int band = std::max(1, std::min(picture.bandHeight(), h));
    std::vector<uint8_t> piece(size_t(band) * rowSize);
    for (int bottom = h; bottom > 0;) {
        const int top = std::max(0, bottom - band), rows = bottom - top;
        std::optional<PixelView> view = picture.readRows(top, rows);
        if (!view || view->width != w || view->height != rows) return Failure(MirrorFailure::PictureUnreadable);
        // The band's lowest row comes first in the file.
        for (int i = 0; i < rows; ++i)
            mirrorRowToBgr(view->data + size_t(rows - 1 - i) * view->stride, w,
                           piece.data() + size_t(i) * rowSize, rowSize);
        if (!sink(piece.data(), size_t(rows) * rowSize)) return Failure(MirrorFailure::SinkFailed);
        bottom = top;
    }
    return {};
}

} // namespace mirevo
