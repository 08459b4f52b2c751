#include "common/x11/pixel_format.h"

#include <cstddef>
#include <cstring>

namespace mirevo {

namespace {

// Where a channel sits in a pixel value: its lowest bit and how many bits it holds.
struct Channel {
    int shift = 0;
    int bits = 0;
};

Channel channelOf(uint32_t mask) {
    Channel channel;
    if (mask == 0) return channel;
    while (!((mask >> channel.shift) & 1u))
        ++channel.shift;
    while (channel.shift + channel.bits < 32 && ((mask >> (channel.shift + channel.bits)) & 1u))
        ++channel.bits;
    return channel;
}

uint32_t placeChannel(uint32_t mask, uint8_t value) {
    if (mask == 0) return 0;
    const Channel channel = channelOf(mask);
    const int bits = channel.bits;
    uint32_t scaled = bits >= 8 ? uint32_t(value) << (bits - 8) : uint32_t(value) >> (8 - bits);
    return (scaled << channel.shift) & mask;
}

uint32_t takeChannel(uint32_t mask, uint32_t pixel) {
    if (mask == 0) return 0;
    const Channel channel = channelOf(mask);
    const uint64_t max = mask >> channel.shift;
    const uint64_t value = (pixel & mask) >> channel.shift;
    return uint32_t(value * 255 / max);
}

bool hostIsLittleEndian() {
    const uint16_t probe = 1;
    uint8_t first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
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

uint32_t unpackPixel(const PixelFormat& format, uint32_t pixel) {
    return takeChannel(format.redMask, pixel) << 16 | takeChannel(format.greenMask, pixel) << 8 |
           takeChannel(format.blueMask, pixel);
}

bool isNativeRgb32(const ImageLayout& layout) {
    return layout.bitsPerPixel == 32 && layout.format.redMask == 0xff0000 &&
           layout.format.greenMask == 0xff00 && layout.format.blueMask == 0xff &&
           layout.mostSignificantByteFirst == !hostIsLittleEndian();
}

bool unpackRow(const ImageLayout& layout, const uint8_t* row, int width, uint32_t* out) {
    const int bytes = layout.bitsPerPixel / 8;
    if (layout.bitsPerPixel % 8 != 0 || bytes < 1 || bytes > 4) return false;
    for (int x = 0; x < width; ++x, row += bytes) {
        uint32_t pixel = 0;
        for (int i = 0; i < bytes; ++i) {
            const int significance = layout.mostSignificantByteFirst ? bytes - 1 - i : i;
            pixel |= uint32_t(row[i]) << (8 * significance);
        }
        out[x] = unpackPixel(layout.format, pixel);
    }
    return true;
}

} // namespace mirevo
