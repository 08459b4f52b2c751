#include "viewer/picture/desktop_picture.h"

#include <optional>
#include <vector>

#include "common/built_in_picture.h"
#include "viewer/picture/box_reduce.h"

namespace mirevo::viewer {

namespace {

struct Channel {
    int shift = 0, bits = 0;
    explicit Channel(uint32_t mask) {
        if (!mask) return;
        while (!(mask & 1)) mask >>= 1, ++shift;
        while (mask & 1) mask >>= 1, ++bits;
    }
    uint8_t of(uint32_t pixel) const {
        if (bits == 0) return 0;
        const uint32_t value = (pixel >> shift) & ((1u << bits) - 1);
        return bits >= 8 ? static_cast<uint8_t>(value >> (bits - 8))
                         : static_cast<uint8_t>(value * 255 / ((1u << bits) - 1));
    }
};

uint32_t pixelAt(const uint8_t* p, int bytes, bool msbFirst) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<uint32_t>(p[i]) << (8 * (msbFirst ? bytes - 1 - i : i));
    return value;
}

} // namespace

Picture mirroredPicture(const uint8_t* data, const PixelLayout& layout, int factor) {
    const int bits = layout.bitsPerPixel;
    if ((bits != 16 && bits != 24 && bits != 32) || layout.width <= 0 || layout.height <= 0 || !data ||
        static_cast<long>(layout.bytesPerLine) < static_cast<long>(layout.width) * (bits / 8))
        return {};
    const int bytes = bits / 8;
    const Channel red(layout.redMask), green(layout.greenMask), blue(layout.blueMask);
    // The usual TrueColor layout, little-endian: one straight pass per row.
    const bool plain = bytes == 4 && !layout.mostSignificantFirst && layout.redMask == 0xFF0000 &&
                       layout.greenMask == 0xFF00 && layout.blueMask == 0xFF;
    const int w = layout.width;
    // Whole size: the rows go straight into the picture; smaller: through the box filter.
    Picture whole;
    std::optional<BoxReducer> reducer;
    std::vector<uint8_t> row;
    if (factor <= 1) {
        whole = {w, layout.height, std::vector<uint8_t>(pictureRowBytes(w) * static_cast<size_t>(layout.height))};
    } else {
        reducer.emplace(w, layout.height, factor);
        row.resize(static_cast<size_t>(w) * 3);
    }
    // The file's order: the bottom row first.
    for (int y = layout.height - 1; y >= 0; --y) {
        const uint8_t* source = data + static_cast<size_t>(y) * static_cast<size_t>(layout.bytesPerLine);
        uint8_t* out = reducer ? row.data()
                               : whole.pixels.data() + pictureRowBytes(w) * static_cast<size_t>(layout.height - 1 - y);
        if (plain) {
            for (int x = w - 1; x >= 0; --x, out += 3) {
                const uint8_t* p = source + static_cast<size_t>(x) * 4;
                out[0] = p[0], out[1] = p[1], out[2] = p[2];
            }
        } else {
            for (int x = w - 1; x >= 0; --x, out += 3) {
                const uint32_t pixel =
                    pixelAt(source + static_cast<size_t>(x) * bytes, bytes, layout.mostSignificantFirst);
                out[0] = blue.of(pixel), out[1] = green.of(pixel), out[2] = red.of(pixel);
            }
        }
        if (reducer) reducer->addRow(row.data());
    }
    return reducer ? reducer->take() : std::move(whole);
}

Picture builtInPicture(int width, int height) {
    Picture image{width, height, std::vector<uint8_t>(pictureRowBytes(width) * static_cast<size_t>(height))};
    for (int y = 0; y < height; ++y) { // the bottom row first
        uint8_t* out = image.pixels.data() + pictureRowBytes(width) * static_cast<size_t>(y);
        for (int x = 0; x < width; ++x, out += 3) {
            const uint32_t rgb = builtInPixel(x, y, width, height);
            out[0] = uint8_t(rgb), out[1] = uint8_t(rgb >> 8), out[2] = uint8_t(rgb >> 16);
        }
    }
    return image;
}

Picture builtInPictureWithin(int maxSide) {
    // Enough for a floor that fills a 4K screen.
    const int factor = reductionFactor(kBuiltInWidth, kBuiltInHeight, maxSide);
    return builtInPicture(reducedSide(kBuiltInWidth, factor), reducedSide(kBuiltInHeight, factor));
}

const char* describe(PictureSource source) {
    switch (source) {
    case PictureSource::Screenshot: return "screenshot";
    case PictureSource::Wallpaper: return "wallpaper";
    case PictureSource::BuiltIn: return "built-in";
    }
    return "?";
}

} // namespace mirevo::viewer
