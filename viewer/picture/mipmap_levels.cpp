#include "viewer/picture/mipmap_levels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mirevo::viewer {

namespace {

// Pixels [from, count) of the row, each the rounded mean of its block; across is 0 where a column pairs with
// itself.
template <int Bytes>
void halvePixels(const uint8_t* top, const uint8_t* bottom, size_t across, int from, int count,
                 uint8_t* out) {
    const size_t step = across * 2;
    top += step * static_cast<size_t>(from), bottom += step * static_cast<size_t>(from);
    out += static_cast<size_t>(Bytes) * static_cast<size_t>(from);
    for (int x = from; x < count; ++x, top += step, bottom += step, out += Bytes)
        for (int c = 0; c < Bytes; ++c)
            out[c] =
                static_cast<uint8_t>((top[c] + top[c + across] + bottom[c] + bottom[c + across] + 2) >> 2);
}

// The pixels of 4 bytes, two at a time in 16-bit lanes where SSE2 is there; how many it did.
int halveFourBytePairs(const uint8_t* top, const uint8_t* bottom, int count, uint8_t* out) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
    for (; x + 2 <= count; x += 2, top += 16, bottom += 16, out += 8) {
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom));
        // Columns summed down: the first two pixels' channels, then the next two's.
        const __m128i first = _mm_add_epi16(_mm_unpacklo_epi8(t, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i second = _mm_add_epi16(_mm_unpackhi_epi8(t, zero), _mm_unpackhi_epi8(b, zero));
        // Then across, each pixel with its right neighbour.
        const __m128i sums = _mm_unpacklo_epi64(_mm_add_epi16(first, _mm_srli_si128(first, 8)),
                                                _mm_add_epi16(second, _mm_srli_si128(second, 8)));
        const __m128i means = _mm_srli_epi16(_mm_add_epi16(sums, two), 2);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(means, means));
    }
#else
    (void)top, (void)bottom, (void)count, (void)out;
#endif
    return x;
}

} // namespace

void halveRow(const uint8_t* top, const uint8_t* bottom, int width, int bytesPerPixel, uint8_t* out) {
    const int count = halvedSide(width);
    const size_t across = width > 1 ? static_cast<size_t>(bytesPerPixel) : 0;
    if (bytesPerPixel == 4) {
        const int done = width > 1 ? halveFourBytePairs(top, bottom, count, out) : 0;
        halvePixels<4>(top, bottom, across, done, count, out);
    } else {
        halvePixels<3>(top, bottom, across, 0, count, out);
    }
}

void halveLevel(const uint8_t* source, size_t sourceRow, int width, int height, int bytesPerPixel,
                uint8_t* out, size_t outRow) {
    const size_t down = height > 1 ? sourceRow : 0;
    for (int y = 0, rows = halvedSide(height); y < rows; ++y) {
        const uint8_t* top = source + sourceRow * static_cast<size_t>(height > 1 ? 2 * y : 0);
        halveRow(top, top + down, width, bytesPerPixel, out + outRow * static_cast<size_t>(y));
    }
}

Picture halveImage(const Picture& level) {
    Picture next{halvedSide(level.width), halvedSide(level.height), {}};
    next.pixels.resize(pictureRowBytes(next.width) * static_cast<size_t>(next.height));
    halveLevel(level.pixels.data(), pictureRowBytes(level.width), level.width, level.height, 3,
               next.pixels.data(), pictureRowBytes(next.width));
    return next;
}

} // namespace mirevo::viewer
