#include "saver/button/face_painter.h"

#include <cmath>

namespace mirevo {

namespace {

constexpr int kBorder = 4, kSkinMiddleW = SkinPicture::kWidth - 2 * kBorder,
              kSkinMiddleH = SkinPicture::kHeight - 2 * kBorder;
constexpr uint32_t kOpaque = 0xFF000000;
// What the surface is cleared to; the border covers it wherever the control is at least 4 pixels each way.
constexpr uint32_t kClearColour = 0xECE9D8;

// The gradient's two colours as the vertices carry them: 16-bit channels, the 8-bit value in the high byte.
struct Vertex16 {
    uint32_t red, green, blue;
};
constexpr Vertex16 kWhite{0xFF00, 0xFF00, 0xFF00}, kLavenderGrey{0xC600, 0xC500, 0xD700};

// Nearest source pixel for each destination pixel, sampled at pixel centres, so both end pixels of a
// stretched or squeezed piece come from the piece's own end pixels.
int sourceIndex(int d, int dn, int sn) {
    return int((2 * int64_t(d) + 1) * sn / (2 * int64_t(dn)));
}

void drawPiece(FaceCanvas& c, const SkinPicture& skin, const BorderPiece& p) {
    if (p.dw <= 0 || p.dh <= 0) return;
    for (int y = 0; y < p.dh; ++y) {
        int ty = p.dy + y;
        if (ty < 0 || ty >= c.height) continue;
        int sy = p.sy + sourceIndex(y, p.dh, p.sh);
        uint32_t* out = c.pixels + size_t(ty) * c.stride;
        for (int x = 0; x < p.dw; ++x) {
            int tx = p.dx + x;
            if (tx < 0 || tx >= c.width) continue;
            out[tx] = kOpaque | skin.at(p.sx + sourceIndex(x, p.dw, p.sw), sy);
        }
    }
}

} // namespace

std::array<BorderPiece, 8> borderPieces(int w, int h) {
    const int right = w - kBorder, bottom = h - kBorder, sr = SkinPicture::kWidth - kBorder,
              sb = SkinPicture::kHeight - kBorder;
    return {{
        {0, 0, kBorder, kBorder, 0, 0, kBorder, kBorder},
        {kBorder, 0, kSkinMiddleW, kBorder, kBorder, 0, w - 2 * kBorder, kBorder},
        {sr, 0, kBorder, kBorder, right, 0, kBorder, kBorder},
        {sr, kBorder, kBorder, kSkinMiddleH, right, kBorder, kBorder, h - 2 * kBorder},
        {sr, sb, kBorder, kBorder, right, bottom, kBorder, kBorder},
        {kBorder, sb, kSkinMiddleW, kBorder, kBorder, bottom, w - 2 * kBorder, kBorder},
        {0, sb, kBorder, kBorder, 0, bottom, kBorder, kBorder},
        {0, kBorder, kBorder, kSkinMiddleH, 0, kBorder, kBorder, h - 2 * kBorder},
    }};
}

uint32_t gradientRow(int y, int height, bool reversed) {
    const Vertex16& top = reversed ? kLavenderGrey : kWhite;
    const Vertex16& bottom = reversed ? kWhite : kLavenderGrey;
    // A vertical gradient fill from row 0 to row height - 1: each channel moves linearly in 16 bits over
    // height - 1 steps and the pixel takes its high byte.
    const int64_t steps = height - 1;
    auto channel = [&](uint32_t a, uint32_t b) {
        if (steps <= 0) return a >> 8;
        return uint32_t((int64_t(a) * (steps - y) + int64_t(b) * y) / steps) >> 8;
    };
    return channel(top.red, bottom.red) << 16 | channel(top.green, bottom.green) << 8 |
           channel(top.blue, bottom.blue);
}

void paintFacePixels(FaceCanvas& c, Skin skin, bool gradientReversed) {
    for (int y = 0; y < c.height; ++y) {
        uint32_t* out = c.pixels + size_t(y) * c.stride;
        // The fill's rectangle ends before the right column and the bottom row.
        uint32_t fill =
            kOpaque | (y < c.height - 1 ? gradientRow(y, c.height, gradientReversed) : kClearColour);
        for (int x = 0; x < c.width; ++x)
            out[x] = x < c.width - 1 ? fill : kOpaque | kClearColour;
    }
    const SkinPicture& picture = skinPicture(skin);
    for (const BorderPiece& piece : borderPieces(c.width, c.height))
        drawPiece(c, picture, piece);
}

int captionTop(int height) {
    const double twips = (height * 15.0 - kCaptionHeight * 15 - 20) / 2;
    return int(std::lround(twips / 15));
}

} // namespace mirevo
