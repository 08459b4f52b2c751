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

// A channel's value scaled from its mask's width to 8 bits, rounded down; 0 without a mask.
struct Taker {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t max = 0;

    explicit Taker(uint32_t channelMask) : mask(channelMask) {
        if (mask == 0) return;
        shift = channelOf(mask).shift;
        max = mask >> shift;
    }
    uint32_t operator()(uint32_t pixel) const {
        if (mask == 0) return 0;
        return uint32_t(uint64_t((pixel & mask) >> shift) * 255 / max);
    }
};

// The three channels, worked out once for many pixels.
struct Unpacker {
    Taker red, green, blue;
    explicit Unpacker(const PixelFormat& format)
        : red(format.redMask), green(format.greenMask), blue(format.blueMask) {}
    uint32_t operator()(uint32_t pixel) const { return red(pixel) << 16 | green(pixel) << 8 | blue(pixel); }
};

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

std::optional<PixelFormat> standardPixelFormat(int depth) {
    switch (depth) {
    case 15:
        return PixelFormat{0x7C00, 0x03E0, 0x001F};
    case 16:
        return PixelFormat{0xF800, 0x07E0, 0x001F};
    case 24:
    case 32:
        return PixelFormat{0xFF0000, 0x00FF00, 0x0000FF};
    case 30:
        return PixelFormat{0x3FF00000, 0x000FFC00, 0x000003FF};
    default:
        return std::nullopt;
    }
}

uint32_t unpackPixel(const PixelFormat& format, uint32_t pixel) {
    return Unpacker(format)(pixel);
}

bool isNativeRgb32(const ImageLayout& layout) {
    return layout.bitsPerPixel == 32 && layout.format.redMask == 0xff0000 &&
           layout.format.greenMask == 0xff00 && layout.format.blueMask == 0xff &&
           layout.mostSignificantByteFirst == !hostIsLittleEndian();
}

bool unpackRow(const ImageLayout& layout, const uint8_t* row, int width, uint32_t* out) {
    const int bytes = layout.bitsPerPixel / 8;
    if (layout.bitsPerPixel % 8 != 0 || bytes < 1 || bytes > 4) return false;
    const bool msbFirst = layout.mostSignificantByteFirst;
    auto pixelAt = [bytes, msbFirst](const uint8_t* p) {
        uint32_t pixel = 0;
        for (int i = 0; i < bytes; ++i)
            pixel |= uint32_t(p[i]) << (8 * (msbFirst ? bytes - 1 - i : i));
        return pixel;
    };
    const PixelFormat& format = layout.format;
    // The usual TrueColor layout: each channel is a byte already.
    if (bytes == 4 && format.redMask == 0xff0000 && format.greenMask == 0xff00 && format.blueMask == 0xff) {
        for (int x = 0; x < width; ++x, row += bytes)
            out[x] = pixelAt(row) & 0xffffff;
        return true;
    }
    const Unpacker unpack(format);
    for (int x = 0; x < width; ++x, row += bytes)
        out[x] = unpack(pixelAt(row));
    return true;
}

} // namespace mirevo
