#include "viewer/picture/rgba_levels.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mirevo::viewer {

namespace {

int halved(int side) {
    return side > 1 ? side / 2 : 1;
}

#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// Blue-green-red bytes as one opaque RGBA pixel: the 4 bytes from the pixel's first, shifted and reversed.
inline uint32_t rgbaOf(uint32_t bgrx) {
    return __builtin_bswap32(bgrx << 8) | 0xFF000000u;
}
#endif

// Rows [from, to) of the next level down, by the rounding halveImage() uses; a side of 1 pairs a row or
// column with itself. Bgr reads blue-green-red source pixels of 3 bytes, otherwise RGBA ones of 4.
template <bool Bgr>
void halveRows(const uint8_t* source, size_t sourceRow, int w, int h, RgbaLevel& out) {
    constexpr size_t kBytes = Bgr ? 3 : 4;
    const size_t down = h > 1 ? sourceRow : 0;
    const size_t across = w > 1 ? kBytes : 0;
    const size_t step = w > 1 ? 2 * kBytes : 0;
    const size_t targetRow = static_cast<size_t>(out.width) * 4;
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* top = source + sourceRow * static_cast<size_t>(h > 1 ? 2 * y : 0);
        const uint8_t* bottom = top + down;
        uint8_t* o = out.pixels + targetRow * static_cast<size_t>(y);
        for (int x = 0; x < out.width; ++x, top += step, bottom += step, o += 4) {
            for (int c = 0; c < 3; ++c) {
                const int at = Bgr ? 2 - c : c;
                o[c] = static_cast<uint8_t>(
                    (top[at] + top[at + across] + bottom[at] + bottom[at + across] + 2) >> 2);
            }
            o[3] = 0xFF;
        }
    }
}

// One row of the next level down from two RGBA rows of a level at least 2 x 2: each channel the rounded
// mean of a 2 x 2 block, as halveImage() gives it; two pixels at a time in 16-bit lanes where SSE2 is there.
void halveRgbaRow(const uint8_t* top, const uint8_t* bottom, uint8_t* out, int outWidth) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
    for (; x + 2 <= outWidth; x += 2, top += 16, bottom += 16, out += 8) {
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
#endif
    for (; x < outWidth; ++x, top += 8, bottom += 8, out += 4)
        for (int c = 0; c < 4; ++c)
            out[c] = static_cast<uint8_t>((top[c] + top[c + 4] + bottom[c] + bottom[c + 4] + 2) >> 2);
}

// Level 1 from the picture: each pair of rows made RGBA in a scratch row pair first, then halved as the
// RGBA levels are. Sides of 1 take the general way.
void halvePicture(const Picture& picture, RgbaLevel& out) {
    if (picture.width < 2 || picture.height < 2) {
        halveRows<true>(picture.pixels.data(), pictureRowBytes(picture.width), picture.width, picture.height, out);
        return;
    }
    const size_t rowBytes = static_cast<size_t>(picture.width) * 4;
    std::vector<uint8_t> pair(2 * rowBytes);
    for (int y = 0; y < out.height; ++y) {
        bgrRowsToRgba(picture, 2 * y, 2 * y + 2, pair.data());
        halveRgbaRow(pair.data(), pair.data() + rowBytes,
                     out.pixels + static_cast<size_t>(out.width) * 4 * static_cast<size_t>(y), out.width);
    }
}

void halveLevel(const RgbaLevel& above, RgbaLevel& out) {
    const size_t aboveRow = static_cast<size_t>(above.width) * 4;
    if (above.width < 2 || above.height < 2) {
        halveRows<false>(above.pixels, aboveRow, above.width, above.height, out);
        return;
    }
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* top = above.pixels + aboveRow * static_cast<size_t>(2 * y);
        halveRgbaRow(top, top + aboveRow, out.pixels + static_cast<size_t>(out.width) * 4 * static_cast<size_t>(y),
                     out.width);
    }
}

} // namespace

void bgrRowsToRgba(const Picture& picture, int fromRow, int toRow, uint8_t* out) {
    const size_t sourceRow = pictureRowBytes(picture.width);
    const int w = picture.width;
    for (int y = fromRow; y < toRow; ++y) {
        const uint8_t* in = picture.pixels.data() + sourceRow * static_cast<size_t>(y);
        // Four bytes are read for each pixel: the row's last one is read alone, as the fourth may not exist.
        for (int x = 0; x + 1 < w; ++x, in += 3, out += 4) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            uint32_t bgrx;
            std::memcpy(&bgrx, in, 4);
            const uint32_t rgba = rgbaOf(bgrx);
            std::memcpy(out, &rgba, 4);
#else
            out[0] = in[2], out[1] = in[1], out[2] = in[0], out[3] = 0xFF;
#endif
        }
        if (w > 0) {
            const uint8_t last[4] = {in[2], in[1], in[0], 0xFF};
            std::memcpy(out, last, 4);
            out += 4;
        }
    }
}

size_t rgbaLevelsBytes(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    size_t bytes = static_cast<size_t>(width) * 4 * static_cast<size_t>(height);
    while (width > 1 || height > 1) {
        width = halved(width), height = halved(height);
        bytes += static_cast<size_t>(width) * 4 * static_cast<size_t>(height);
    }
    return bytes;
}

RgbaLevels rgbaSmallerLevels(const Picture& picture, const std::vector<Picture>* smallerLevels) {
    RgbaLevels result;
    std::vector<RgbaLevel>& levels = result.levels;
    if (picture.width <= 0 || picture.height <= 0) return result;
    size_t bytes = 0;
    for (int w = picture.width, h = picture.height; w > 1 || h > 1;) {
        w = halved(w), h = halved(h);
        levels.push_back(RgbaLevel{w, h, nullptr});
        bytes += static_cast<size_t>(w) * 4 * static_cast<size_t>(h);
    }
    if (levels.empty()) return result;
    result.storage = LargeBuffer(bytes);
    uint8_t* at = result.storage.get();
    for (RgbaLevel& level : levels) {
        level.pixels = at;
        at += static_cast<size_t>(level.width) * 4 * static_cast<size_t>(level.height);
    }
    const auto sameSizes = [&levels](const std::vector<Picture>& given) {
        if (given.size() != levels.size()) return false;
        for (size_t i = 0; i < given.size(); ++i)
            if (given[i].width != levels[i].width || given[i].height != levels[i].height) return false;
        return true;
    };
    if (smallerLevels && sameSizes(*smallerLevels)) {
        for (size_t i = 0; i < levels.size(); ++i)
            bgrRowsToRgba((*smallerLevels)[i], 0, levels[i].height, levels[i].pixels);
        return result;
    }
    halvePicture(picture, levels[0]);
    for (size_t i = 1; i < levels.size(); ++i)
        halveLevel(levels[i - 1], levels[i]);
    return result;
}

} // namespace mirevo::viewer
