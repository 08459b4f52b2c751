#pragma once
// The next smaller mipmap level, by averaging 2 x 2 blocks: one halver for the blue-green-red pictures
// (3 bytes a pixel) and the RGBA levels a software GL is given (4). Sides halve rounding down and stop at 1,
// as the GL sizes the levels of a texture whose sides are not powers of two; an odd last column or row is
// left out of the average, and a side of 1 pairs a row or column with itself. Every byte of a pixel is
// averaged alike (an opaque alpha stays opaque), each rounded half up.
#include <cstddef>
#include <cstdint>

#include "viewer/picture/picture.h"

namespace mirevo::viewer {

// A side of the next level down.
constexpr int halvedSide(int side) {
    return side > 1 ? side / 2 : 1;
}

// One row of the next level down from the rows top and bottom (the same row where the level is 1 high) of a
// level width pixels wide, each pixel bytesPerPixel (3 or 4) bytes: halvedSide(width) pixels into out, and
// nothing past them.
void halveRow(const uint8_t* top, const uint8_t* bottom, int width, int bytesPerPixel, uint8_t* out);

// A whole level: rows sourceRow bytes apart into rows outRow bytes apart, the bottom row first or the top
// row first alike.
void halveLevel(const uint8_t* source, size_t sourceRow, int width, int height, int bytesPerPixel,
                uint8_t* out, size_t outRow);

// A picture's next level, as a picture (its rows' padding zeroed).
Picture halveImage(const Picture& level);

} // namespace mirevo::viewer
