#include "viewer/picture/mipmap_levels.h"

namespace mirevo::viewer {

Picture halveImage(const Picture& level) {
    const int w = level.width, h = level.height;
    Picture next{w > 1 ? w / 2 : 1, h > 1 ? h / 2 : 1, {}};
    const size_t sourceRow = pictureRowBytes(w), targetRow = pictureRowBytes(next.width);
    // Grown a row at a time, so that a large level's memory is touched as it is averaged.
    next.pixels.reserve(targetRow * static_cast<size_t>(next.height));
    // A side of 1 pairs a row or column with itself.
    const size_t down = h > 1 ? sourceRow : 0;
    const size_t across = w > 1 ? 3 : 0;
    const size_t step = w > 1 ? 6 : 0;
    for (int y = 0; y < next.height; ++y) {
        const uint8_t* top = level.pixels.data() + sourceRow * static_cast<size_t>(h > 1 ? 2 * y : 0);
        const uint8_t* bottom = top + down;
        next.pixels.resize(targetRow * static_cast<size_t>(y + 1));
        uint8_t* out = next.pixels.data() + targetRow * static_cast<size_t>(y);
        for (int x = 0; x < next.width; ++x, top += step, bottom += step, out += 3) {
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<uint8_t>(
                    (top[c] + top[c + across] + bottom[c] + bottom[c + across] + 2) >> 2);
        }
    }
    return next;
}

} // namespace mirevo::viewer
