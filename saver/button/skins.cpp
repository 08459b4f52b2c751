#include "saver/button/skins.h"

#include <cmath>
#include <vector>

namespace mirevo {

namespace {

constexpr int W = SkinPicture::kWidth, H = SkinPicture::kHeight;

// A line of detail inside the frame: a row across the inside, or a column down it that shades from one
// colour at the top to another at the bottom.
struct Band {
    enum Kind { Row, Column } kind;
    int at;
    uint32_t top, bottom;
};

struct SkinDesign {
    uint32_t surroundTop, surroundBottom; // outermost ring (and whatever the frame leaves outside it)
    int inset;                            // the frame's distance from the picture's edge
    uint32_t frame;
    uint32_t inside; // the centre and every pixel no band covers
    std::vector<Band> bands;
};

constexpr uint32_t kNavy = 0x003C74, kBeigeTop = 0xDCD6C2, kBeigeBottom = 0xFAFAF6, kFlatBeige = 0xECE9D8;
constexpr uint32_t kNearWhite = 0xFCFCFB;

Band row(int y, uint32_t c) {
    return {Band::Row, y, c, c};
}
Band column(int x, uint32_t top, uint32_t bottom) {
    return {Band::Column, x, top, bottom};
}

const std::vector<Band> kWarmGlow = {column(2, 0xFEDF9A, 0xF9B435),
                                     column(3, 0xFCD279, 0xF8B535),
                                     column(61, 0xFEDF9A, 0xF9B435),
                                     column(60, 0xFCD279, 0xF8B535),
                                     row(2, 0xFFF0CF),
                                     row(3, 0xFDD889),
                                     row(21, 0xF8B330),
                                     row(22, 0xE59700)};

SkinDesign design(Skin skin) {
    switch (skin) {
    case Skin::Normal:
        return {kBeigeTop,
                kBeigeBottom,
                1,
                kNavy,
                kNearWhite,
                {column(2, 0xFDFDFC, 0xECEBE6), column(3, 0xFDFDFC, 0xECEBE6), column(60, 0xFBFBFA, 0xE4E2DA),
                 column(61, 0xF6F4F2, 0xE0DDD4), row(2, 0xF3F3EE), row(21, 0xE2DFD6), row(22, 0xD6D0C5)}};
    case Skin::HighLight:
    case Skin::HighLightSelect:
        return {kBeigeTop, kBeigeBottom, 1, kNavy, kNearWhite, kWarmGlow};
    case Skin::Selected:
        return {kBeigeTop,
                kBeigeBottom,
                1,
                kNavy,
                kNearWhite,
                {column(2, 0xB7D0F4, 0x8BADE4), column(3, 0xB7D0F4, 0x8BADE4), column(60, 0xB7D0F4, 0x8BADE4),
                 column(61, 0xB7D0F4, 0x8BADE4), row(2, 0xCEE7FF), row(3, 0xCEE7FF), row(21, 0x6982EE),
                 row(22, 0x6982EE)}};
    case Skin::Pressed:
        return {kFlatBeige,
                kFlatBeige,
                2,
                kNavy,
                kNearWhite,
                {column(3, 0xD7D4CB, 0xD7D4CB), column(60, 0xE4E3DC, 0xE4E3DC), row(3, 0xD1CCC1),
                 row(21, 0xF2F1EE)}};
    case Skin::Disable:
        return {kFlatBeige, kFlatBeige, 1, 0xC9C7BA, 0xF5F4EA, {}};
    }
    return {};
}

SkinPicture draw(const SkinDesign& d) {
    SkinPicture p;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            p.at(x, y) = blendRgb(d.surroundTop, d.surroundBottom, y, H - 1);

    const int left = d.inset, top = d.inset, right = W - 1 - d.inset, bottom = H - 1 - d.inset;
    for (int y = top + 1; y < bottom; ++y)
        for (int x = left + 1; x < right; ++x)
            p.at(x, y) = d.inside;
    // Rows first: the side columns run the full height inside the frame, over the rows' ends.
    for (const Band& band : d.bands)
        if (band.kind == Band::Row)
            for (int x = left + 1; x < right; ++x)
                p.at(x, band.at) = band.top;
    for (const Band& band : d.bands)
        if (band.kind == Band::Column)
            for (int y = top + 1; y < bottom; ++y)
                p.at(band.at, y) = blendRgb(band.top, band.bottom, y - top - 1, bottom - top - 2);
    for (int x = left; x <= right; ++x)
        p.at(x, top) = p.at(x, bottom) = d.frame;
    for (int y = top; y <= bottom; ++y)
        p.at(left, y) = p.at(right, y) = d.frame;

    // Round each corner: the corner pixel mostly surround, its two neighbours on the frame half and half.
    for (int x : {left, right})
        for (int y : {top, bottom}) {
            uint32_t outside = blendRgb(d.surroundTop, d.surroundBottom, y, H - 1);
            p.at(x, y) = blendRgb(outside, d.frame, 1, 4);
            p.at(x == left ? x + 1 : x - 1, y) = blendRgb(outside, d.frame, 1, 2);
            p.at(x, y == top ? y + 1 : y - 1) = blendRgb(outside, d.frame, 1, 2);
        }
    return p;
}

} // namespace

uint32_t blendRgb(uint32_t a, uint32_t b, int step, int steps) {
    if (steps <= 0) return a;
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int ca = int(a >> shift & 0xFF), cb = int(b >> shift & 0xFF);
        int c = int(std::lround(ca + double(cb - ca) * step / steps));
        out |= uint32_t(c) << shift;
    }
    return out;
}

const SkinPicture& skinPicture(Skin skin) {
    static const std::array<SkinPicture, 6> pictures = [] {
        std::array<SkinPicture, 6> all;
        for (int i = 0; i < 6; ++i)
            all[size_t(i)] = draw(design(Skin(i)));
        return all;
    }();
    return pictures[size_t(skin)];
}

} // namespace mirevo
