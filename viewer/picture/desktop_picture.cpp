#include "viewer/picture/desktop_picture.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/built_in_picture.h"
#include "viewer/picture/box_reduce.h"

namespace mirevo::viewer {

Picture mirroredPicture(RowSource& rows, int factor) {
    const int w = rows.width(), h = rows.height();
    if (w <= 0 || h <= 0) return {};
    const int band = std::clamp(rows.bandHeight(), 1, h);
    // Whole size: the rows go straight into the picture; smaller: through the box filter.
    Picture whole;
    std::optional<BoxReducer> reducer;
    std::vector<uint8_t> row;
    if (factor <= 1) {
        whole = {w, h, std::vector<uint8_t>(pictureRowBytes(w) * static_cast<size_t>(h))};
    } else {
        reducer.emplace(w, h, factor);
        row.resize(static_cast<size_t>(w) * 3);
    }
    // The picture's order: the bottom row first.
    for (int bottom = h; bottom > 0;) {
        const int top = std::max(0, bottom - band);
        const std::optional<PixelView> view = rows.readRows(top, bottom - top);
        if (!view || !view->data || view->width != w || view->height != bottom - top) return {};
        for (int y = bottom - 1; y >= top; --y) {
            const uint8_t* source = view->data + static_cast<size_t>(y - top) * view->stride;
            if (reducer) {
                mirrorRowToBgr(source, w, row.data(), row.size());
                reducer->addRow(row.data());
            } else {
                mirrorRowToBgr(source, w,
                               whole.pixels.data() + pictureRowBytes(w) * static_cast<size_t>(h - 1 - y),
                               pictureRowBytes(w));
            }
        }
        bottom = top;
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
