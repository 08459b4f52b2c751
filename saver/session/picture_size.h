#pragma once
// How large a desktop picture the session keeps. A big desktop (two 6K screens side by side, a 8000 x 8000
// wall) keeps its own picture, reduced where it would be larger than the floor can show: no output draws the
// floor wider than 8192 pixels, and the viewer reduces a picture larger than its GL takes anyway. The bound
// also bounds the memory a picture costs, whatever size a source announces.
#include <cstdint>
#include <vector>

#include "common/wayland/output_layout.h"

namespace mirevo {

inline constexpr int kMaxPictureSide = 8192;
// The widest layout of outputs taken at all.
inline constexpr int kMaxDesktopSide = 16384;
inline constexpr int64_t kMaxPicturePixels = int64_t(32) << 20; // 128 MiB of 32-bit pixels

struct PictureSize {
    int width = 0, height = 0;
    bool operator==(const PictureSize& other) const { return width == other.width && height == other.height; }
};

// The size a width x height picture is kept at: its own within the bounds, otherwise reduced by one factor
// on both sides (its shape kept, each side at least 1) until it fits. Sides of 0 or less stay as they are.
PictureSize keptPictureSize(int width, int height);

// The largest picture of the whole desktop its outputs can give at their native resolution: their logical
// bounding box at the largest output scale, or the sum of their modes, whichever is larger. A screenshot
// service that announces more is not believed. {0, 0} without outputs.
PictureSize nativeDesktopSize(const std::vector<OutputLayout>& outputs);

// Whether an announced picture of the whole desktop (KWin's answer) is one the outputs can give: no side
// larger than their native desktop size, rows of whole 4-byte pixels padded at most a little.
bool desktopPictureFits(uint32_t width, uint32_t height, uint32_t stride, PictureSize desktop);

// Whether a screen copy's buffer of width x height is one its output can fill: no side larger than the
// output's mode (either way round, where the mode is known) or than any desktop may be, rows of whole 4-byte
// pixels padded at most a little.
bool copyBufferFits(const OutputLayout& output, uint32_t width, uint32_t height, uint32_t stride);

} // namespace mirevo
