#pragma once
// Something to look at where no picture of the desktop may be had: a dusk sky over a tiled floor, with a sun
// to one side so that its turning shows. Not symmetric, like any desktop. The hack shows it, and the saver
// writes it as the snapshot in a Wayland session that gives no picture of its screen.
#include <cmath>
#include <cstdint>

namespace mirevo {

inline constexpr int kBuiltInWidth = 1280, kBuiltInHeight = 800;

// The colour (0x00RRGGBB) at column x of row up, counted from the bottom row (0) of a width x height picture.
inline uint32_t builtInPixel(int x, int up, int width, int height) {
    const double sunX = 0.72 * width, sunY = 0.70 * height, sunR = 0.08 * height;
    const double height01 = static_cast<double>(up) / height;
    double r, g, b;
    if (height01 > 0.4) {
        const double sky = (height01 - 0.4) / 0.6;
        r = 250 - 190 * sky, g = 150 - 90 * sky, b = 90 + 80 * sky;
        if (std::hypot(x - sunX, up - sunY) < sunR) r = 255, g = 230, b = 150;
    } else {
        const bool dark = ((x * 12 / width) + (up * 8 / height)) % 2 == 0;
        r = dark ? 40 : 200, g = dark ? 60 : 190, b = dark ? 80 : 170;
    }
    return uint32_t(uint8_t(r)) << 16 | uint32_t(uint8_t(g)) << 8 | uint32_t(uint8_t(b));
}

} // namespace mirevo
