#include "common/x11/pixel_format.h"

#include <cstddef>

namespace mirevo {

namespace {

uint32_t placeChannel(uint32_t mask, uint8_t value) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1u))
        ++shift;
    int bits = 0;
    while (shift + bits < 32 && ((mask >> (shift + bits)) & 1u))
        ++bits;
    uint32_t scaled = bits >= 8 ? uint32_t(value) << (bits - 8) : uint32_t(value) >> (8 - bits);
    return (scaled << shift) & mask;
}

} // namespace

uint32_t packPixel(const PixelFormat& format, uint8_t red, uint8_t green, uint8_t blue) {
    return placeChannel(format.redMask, red) | placeChannel(format.greenMask, green) |
           placeChannel(format.blueMask, blue);
}

std::vector<uint32_t> packPicture(const PixelFormat& format, const std::vector<uint8_t>& rgb) {
    std::vector<uint32_t> pixels;
    pixels.reserve(rgb.size() / 3);
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        pixels.push_back(packPixel(format, rgb[i], rgb[i + 1], rgb[i + 2]));
    return pixels;
}

} // namespace mirevo
