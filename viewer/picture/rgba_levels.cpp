#include "viewer/picture/rgba_levels.h"

#include <cstring>

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
        uint8_t* o = out.pixels.get() + targetRow * static_cast<size_t>(y);
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

RgbaLevel RgbaLevel::sized(int width, int height) {
    RgbaLevel level;
    level.width = width;
    level.height = height;
    level.pixels.reset(new uint8_t[static_cast<size_t>(width) * 4 * static_cast<size_t>(height)]);
    return level;
}

std::vector<RgbaLevel> rgbaSmallerLevels(const Picture& picture, const std::vector<Picture>* smallerLevels) {
    std::vector<RgbaLevel> levels;
    if (picture.width <= 0 || picture.height <= 0) return levels;
    size_t count = 0;
    for (int w = picture.width, h = picture.height; w > 1 || h > 1; w = halved(w), h = halved(h))
        ++count;
    levels.reserve(count);
    if (smallerLevels && smallerLevels->size() == count) {
        for (const Picture& given : *smallerLevels) {
            levels.push_back(RgbaLevel::sized(given.width, given.height));
            bgrRowsToRgba(given, 0, given.height, levels.back().pixels.get());
        }
        return levels;
    }
    if (count == 0) return levels;
    levels.push_back(RgbaLevel::sized(halved(picture.width), halved(picture.height)));
    halveRows<true>(picture.pixels.data(), pictureRowBytes(picture.width), picture.width, picture.height,
                    levels.back());
    while (levels.size() < count) {
        const RgbaLevel& above = levels.back();
        RgbaLevel next = RgbaLevel::sized(halved(above.width), halved(above.height));
        halveRows<false>(above.pixels.get(), static_cast<size_t>(above.width) * 4, above.width, above.height,
                         next);
        levels.push_back(std::move(next)); // reserved: the level above stays where it is
    }
    return levels;
}

} // namespace mirevo::viewer
