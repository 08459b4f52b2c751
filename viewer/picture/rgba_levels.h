#pragma once
// The texture's levels in the layout a software GL stores: red-green-blue-alpha bytes, rows packed, the
// bottom row first. Given in that layout the GL copies a level instead of converting it pixel by pixel; the
// conversion here takes a few instructions a pixel. The levels hold the colours halveImage() gives: the same
// halver averages both.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/posix/large_buffer.h"
#include "viewer/picture/picture.h"

namespace mirevo::viewer {

// Rows [fromRow, toRow) of the picture as opaque RGBA into out (4 x width bytes a row).
void bgrRowsToRgba(const Picture& picture, int fromRow, int toRow, uint8_t* out);

struct RgbaLevel {
    int width = 0, height = 0;
    uint8_t* pixels = nullptr; // 4 x width x height, in its RgbaLevels' storage
};

// The smaller levels in one buffer, filled once and given to the GL.
struct RgbaLevels {
    LargeBuffer storage; // left unset until written (no zeroing pass)
    std::vector<RgbaLevel> levels;

    size_t size() const { return levels.size(); }
    bool empty() const { return levels.empty(); }
    // Level 1 down to 1 x 1 of a picture of this size.
    bool belongTo(int width, int height) const;
};

// The bytes a GL keeps for a texture of this size with every level, four a texel.
size_t rgbaLevelsBytes(int width, int height);

// Level 1 down to 1 x 1 of the picture, each averaged from the one above it. Throws std::bad_alloc when there
// is no room; none at all once cancelled is set (it is looked at between two levels).
RgbaLevels rgbaSmallerLevels(const Picture& picture, const std::atomic<bool>* cancelled = nullptr);

} // namespace mirevo::viewer
