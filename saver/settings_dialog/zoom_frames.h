#pragma once
// The outline that grows out of the pointer when the settings window opens and shrinks back into it when it
// closes: its rectangle at each frame.
#include <cstdint>
#include <vector>

namespace mirevo {

struct ZoomRect {
    int left = 0, top = 0, right = 0, bottom = 0; // screen pixels; right and bottom just past the rectangle
    bool operator==(const ZoomRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// The rectangle of zero size at the pointer point stored when the dialog loaded.
inline ZoomRect pointRect(int16_t x, int16_t y) {
    return {x, y, x, y};
}

// The rectangles of frames 1 .. count, each edge moved linearly; the last one is `to`.
std::vector<ZoomRect> zoomFrames(const ZoomRect& from, const ZoomRect& to, int count);

inline constexpr int kZoomFrameCount = 8;
inline constexpr int kZoomFrameMilliseconds = 25; // about a fifth of a second from point to window

} // namespace mirevo
