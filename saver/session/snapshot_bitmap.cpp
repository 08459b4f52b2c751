#include "saver/session/snapshot_bitmap.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MIREVO_HAVE_SSSE3_PATH 1
#endif

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

uint32_t pixelAt(const uint8_t* row, int x) {
    uint32_t pixel;
    std::memcpy(&pixel, row + size_t(x) * 4, 4);
    return pixel;
}

// One screen row into one file row: right to left, blue-green-red, then the padding.
void mirrorRow(const uint8_t* screenRow, int width, uint8_t* out, size_t rowSize) {
    uint8_t* const start = out;
    int x = width - 1;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Four pixels make three whole 32-bit words of blue-green-red bytes.
    for (; x >= 3; x -= 4, out += 12) {
        const uint32_t a = pixelAt(screenRow, x), b = pixelAt(screenRow, x - 1),
                       c = pixelAt(screenRow, x - 2), d = pixelAt(screenRow, x - 3);
        const uint32_t words[3] = {(a & 0xffffff) | b << 24, (b >> 8 & 0xffff) | c << 16,
                                   (c >> 16 & 0xff) | d << 8};
        std::memcpy(out, words, 12);
    }
#endif
    for (; x >= 0; --x, out += 3) {
        const uint32_t p = pixelAt(screenRow, x);
        out[0] = uint8_t(p);       // blue
        out[1] = uint8_t(p >> 8);  // green
        out[2] = uint8_t(p >> 16); // red
    }
    std::memset(out, 0, rowSize - size_t(out - start));
}

#ifdef MIREVO_HAVE_SSSE3_PATH
// Four pixels per shuffle: read right to left, written as twelve blue-green-red bytes. Each store is 16 bytes
// wide and spills 4 bytes past the pixels it writes, which the next store, the padding or the band's slack
// takes.
__attribute__((target("ssse3"))) void mirrorRowSsse3(const uint8_t* screenRow, int width, uint8_t* out,
                                                     size_t rowSize) {
    const __m128i reverseToBgr = _mm_setr_epi8(12, 13, 14, 8, 9, 10, 4, 5, 6, 0, 1, 2, -1, -1, -1, -1);
    uint8_t* const start = out;
    int x = width - 1;
    for (; x >= 3; x -= 4, out += 12) {
        __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(screenRow + size_t(x - 3) * 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(four, reverseToBgr));
    }
    for (; x >= 0; --x, out += 3) {
        const uint32_t p = pixelAt(screenRow, x);
        out[0] = uint8_t(p);
        out[1] = uint8_t(p >> 8);
        out[2] = uint8_t(p >> 16);
    }
    std::memset(out, 0, rowSize - size_t(out - start));
}
#endif

using RowMirror = void (*)(const uint8_t*, int, uint8_t*, size_t);

RowMirror fastestRowMirror() {
#if defined(MIREVO_HAVE_SSSE3_PATH) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (__builtin_cpu_supports("ssse3")) return mirrorRowSsse3;
#endif
    return mirrorRow;
}

// Room for the wide stores' spill past the last row of a band.
constexpr size_t kPieceSlack = 16;

} // namespace

MirrorResult writeMirroredBitmap(RowSource& picture, const ByteSink& sink) {
    const int w = picture.width(), h = picture.height();
    if (w <= 0 || h <= 0) return Failure(MirrorFailure::EmptyPicture);
    const size_t rowSize = bitmapRowSize(w);
    uint8_t headers[kBitmapHeaderSize];
    writeHeaders(headers, w, h, rowSize * size_t(h));
    if (!sink(headers, sizeof headers)) return Failure(MirrorFailure::SinkFailed);

    const RowMirror mirror = fastestRowMirror();
    const int band = std::max(1, std::min(picture.bandHeight(), h));
    std::vector<uint8_t> piece(size_t(band) * rowSize + kPieceSlack);
    for (int bottom = h; bottom > 0;) {
        const int top = std::max(0, bottom - band), rows = bottom - top;
        std::optional<PixelView> view = picture.readRows(top, rows);
        if (!view || view->width != w || view->height != rows) return Failure(MirrorFailure::PictureUnreadable);
        // The band's lowest row comes first in the file.
        for (int i = 0; i < rows; ++i)
            mirror(view->data + size_t(rows - 1 - i) * view->stride, w, piece.data() + size_t(i) * rowSize,
                   rowSize);
        if (!sink(piece.data(), size_t(rows) * rowSize)) return Failure(MirrorFailure::SinkFailed);
        bottom = top;
    }
    return {};
}

} // namespace mirevo
