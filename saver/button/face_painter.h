#pragma once
// The button's face in pixels: the two-colour vertical gradient over the whole control, the four-pixel border
// cut from a skin in eight pieces (a nine-slice without its centre), and where the caption goes.
#include <array>
#include <cstdint>

#include "saver/button/skins.h"

namespace mirevo {

// Pixels the face is drawn into, 0xFFRRGGBB (Qt's RGB32), `stride` pixels from one row to the next.
struct FaceCanvas {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0, stride = 0;
};

struct BorderPiece {
    int sx, sy, sw, sh; // in the skin
    int dx, dy, dw, dh; // on the control
};

// The eight pieces in the order they are drawn: top-left, top, top-right, right, bottom-right, bottom,
// bottom-left, left. Corners keep their size; top and bottom stretch across, the sides down.
std::array<BorderPiece, 8> borderPieces(int width, int height);

// The colour of gradient row y (0 .. height - 2) of a control `height` pixels tall, 0xRRGGBB: white at the
// top to lavender grey (198, 197, 215) at the last row, or the other way round when reversed.
uint32_t gradientRow(int y, int height, bool reversed);

// Clears the canvas, fills the gradient (all but the right column and the bottom row) and draws the border.
void paintFacePixels(FaceCanvas& canvas, Skin skin, bool gradientReversed);

// The caption's place: 13 pixels tall across the whole width, its top (H - 195 - 20) / 2 twips from the top
// at 15 twips to the pixel, to the nearest pixel; so the text sits two thirds of a pixel above the middle.
constexpr int kCaptionHeight = 13;
int captionTop(int height);

} // namespace mirevo
