#include "viewer/picture/desktop_picture.h"

#include <optional>
#include <vector>

#include "common/built_in_picture.h"
#include "common/x11/pixel_format.h"
#include "viewer/picture/box_reduce.h"

namespace mirevo::viewer {

Picture mirroredPicture(const uint8_t* data, const PixelLayout& layout, int factor) {
    const int bits = layout.bitsPerPixel;
    if ((bits != 16 && bits != 24 && bits != 32) || layout.width <= 0 || layout.height <= 0 || !data ||
        static_cast<long>(layout.bytesPerLine) < static_cast<long>(layout.width) * (bits / 8))
        return {};
    const int bytes = bits / 8;
    const ImageLayout image{bits, layout.mostSignificantFirst,
                            PixelFormat{layout.redMask, layout.greenMask, layout.blueMask}};
    // The usual TrueColor layout, little-endian: its bytes are already blue, green, red.
    const bool plain = bytes == 4 && !layout.mostSignificantFirst && layout.redMask == 0xFF0000 &&
                       layout.greenMask == 0xFF00 && layout.blueMask == 0xFF;
    const int w = layout.width;
    std::vector<uint32_t> unpacked(plain ? 0 : static_cast<size_t>(w)); // a row as 0x00RRGGBB
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
            unpackRow(image, source, w, unpacked.data());
            for (int x = w - 1; x >= 0; --x, out += 3) {
                const uint32_t rgb = unpacked[static_cast<size_t>(x)];
                out[0] = static_cast<uint8_t>(rgb), out[1] = static_cast<uint8_t>(rgb >> 8),
                out[2] = static_cast<uint8_t>(rgb >> 16);
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
