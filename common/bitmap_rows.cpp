#include "common/bitmap_rows.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MIREVO_HAVE_SSSE3_PATH 1
#endif

namespace mirevo {
namespace {

uint32_t pixelAt(const uint8_t* row, int x) {
    uint32_t pixel;
    std::memcpy(&pixel, row + size_t(x) * 4, 4);
    return pixel;
}

// Pixels x down to 0 into out, right to left; returns where the next byte goes.
uint8_t* mirrorPixels(const uint8_t* row, int x, uint8_t* out) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Four pixels make three whole 32-bit words of blue-green-red bytes.
    for (; x >= 3; x -= 4, out += 12) {
        const uint32_t a = pixelAt(row, x), b = pixelAt(row, x - 1), c = pixelAt(row, x - 2),
                       d = pixelAt(row, x - 3);
        const uint32_t words[3] = {(a & 0xffffff) | b << 24, (b >> 8 & 0xffff) | c << 16,
                                   (c >> 16 & 0xff) | d << 8};
        std::memcpy(out, words, 12);
    }
#endif
    for (; x >= 0; --x, out += 3) {
        const uint32_t p = pixelAt(row, x);
        out[0] = uint8_t(p);       // blue
        out[1] = uint8_t(p >> 8);  // green
        out[2] = uint8_t(p >> 16); // red
    }
    return out;
}

void mirrorRow(const uint8_t* row, int width, uint8_t* out, size_t outBytes) {
    uint8_t* const end = mirrorPixels(row, width - 1, out);
    std::memset(end, 0, outBytes - size_t(end - out));
}

#ifdef MIREVO_HAVE_SSSE3_PATH
// Four pixels per shuffle. Each store is 16 bytes wide and reaches 4 bytes past the twelve it means, which
// the next pixels or the padding take: the last group or two that would reach past outBytes go the plain way.
__attribute__((target("ssse3"))) void mirrorRowSsse3(const uint8_t* row, int width, uint8_t* out,
                                                     size_t outBytes) {
    const __m128i reverseToBgr = _mm_setr_epi8(12, 13, 14, 8, 9, 10, 4, 5, 6, 0, 1, 2, -1, -1, -1, -1);
    int x = width - 1;
    size_t at = 0;
    for (; x >= 3 && at + 16 <= outBytes; x -= 4, at += 12) {
        __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + size_t(x - 3) * 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), _mm_shuffle_epi8(four, reverseToBgr));
    }
    uint8_t* const end = mirrorPixels(row, x, out + at);
    std::memset(end, 0, outBytes - size_t(end - out));
}
#endif

using RowMirror = void (*)(const uint8_t*, int, uint8_t*, size_t);

RowMirror fastestRowMirror() {
#if defined(MIREVO_HAVE_SSSE3_PATH) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (__builtin_cpu_supports("ssse3")) return mirrorRowSsse3;
#endif
    return mirrorRow;
}

} // namespace

void mirrorRowToBgr(const uint8_t* xrgbRow, int width, uint8_t* out, size_t outBytes) {
    static const RowMirror mirror = fastestRowMirror();
    mirror(xrgbRow, width, out, outBytes);
}

} // namespace mirevo
