#pragma once
// A picture as the viewer holds it, whatever it came from (the snapshot file, the X server, a compositor, or
// drawn here): blue-green-red rows, each padded to a multiple of 4 bytes, the bottom row first. That is the
// layout a 24-bit bitmap file keeps and the texture upload takes as it is, so no picture is converted twice.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/bitmap_rows.h"

namespace mirevo::viewer {

// Bytes in one row of a picture width pixels wide, padding included: a bitmap file's row.
constexpr size_t pictureRowBytes(int width) {
    return bitmapRowSize(width);
}

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels; // pictureRowBytes(width) x height

    bool empty() const { return width <= 0 || height <= 0; }
};

} // namespace mirevo::viewer
