#include "viewer/picture/rgba_levels.h"

#include <cstring>

#include "viewer/picture/mipmap_levels.h"

namespace mirevo::viewer {

namespace {

#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
// Blue-green-red bytes as one opaque RGBA pixel: the 4 bytes from the pixel's first, shifted and reversed.
inline uint32_t rgbaOf(uint32_t bgrx) {
    return __builtin_bswap32(bgrx << 8) | 0xFF000000u;
}
#endif

// Level 1 from the picture: each pair of rows (one row twice where the picture is 1 high) made RGBA in a
// scratch pair first, then halved as the RGBA levels are.
void halvePicture(const Picture& picture, RgbaLevel& out) {
    const size_t rowBytes = static_cast<size_t>(picture.width) * 4;
    const int pairRows = picture.height > 1 ? 2 : 1;
    std::vector<uint8_t> pair(2 * rowBytes);
    for (int y = 0; y < out.height; ++y) {
        const int first = picture.height > 1 ? 2 * y : 0;
        bgrRowsToRgba(picture, first, first + pairRows, pair.data());
        halveRow(pair.data(), pair.data() + rowBytes * static_cast<size_t>(pairRows - 1), picture.width, 4,
                 out.pixels + static_cast<size_t>(out.width) * 4 * static_cast<size_t>(y));
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
        width = halvedSide(width), height = halvedSide(height);
        bytes += static_cast<size_t>(width) * 4 * static_cast<size_t>(height);
    }
    return bytes;
}

RgbaLevels rgbaSmallerLevels(const Picture& picture, const std::atomic<bool>* cancelled) {
    RgbaLevels result;
    std::vector<RgbaLevel>& levels = result.levels;
    if (picture.width <= 0 || picture.height <= 0) return result;
    size_t bytes = 0;
    for (int w = picture.width, h = picture.height; w > 1 || h > 1;) {
        w = halvedSide(w), h = halvedSide(h);
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
    halvePicture(picture, levels[0]);
    for (size_t i = 1; i < levels.size(); ++i) {
        if (cancelled && cancelled->load()) return {};
        const RgbaLevel& above = levels[i - 1];
        halveLevel(above.pixels, static_cast<size_t>(above.width) * 4, above.width, above.height, 4,
                   levels[i].pixels, static_cast<size_t>(levels[i].width) * 4);
    }
    return result;
}

bool RgbaLevels::belongTo(int width, int height) const {
    for (const RgbaLevel& level : levels) {
        width = halvedSide(width), height = halvedSide(height);
        if (level.width != width || level.height != height) return false;
    }
    return !levels.empty() && width == 1 && height == 1;
}

} // namespace mirevo::viewer
