#include "saver/settings_dialog/dialog_pictures.h"

#include <algorithm>
#include <cmath>

#include "common/round_half_even.h"

namespace mirevo {
namespace {

constexpr int kMarkSize = 12;
constexpr uint32_t kOpaque = 0xFF000000u;

uint32_t rgb(int r, int g, int b) {
    return kOpaque | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}
uint32_t grey(int v) {
    return rgb(v, v, v);
}
int mix(int from, int to, double t) {
    return int(roundHalfEven(from + (to - from) * t));
}

// Rings counted from the edge: 0 is the outermost pixel ring.
int ringOf(int x, int y) {
    return std::min({x, y, kMarkSize - 1 - x, kMarkSize - 1 - y});
}

constexpr int kFrameGrey = 37;

template <typename Colour> Picture markPicture(Colour colourAt) {
    Picture picture{kMarkSize, kMarkSize, {}};
    for (int y = 0; y < kMarkSize; ++y)
        for (int x = 0; x < kMarkSize; ++x)
            picture.argb.push_back(ringOf(x, y) == 0 ? grey(kFrameGrey) : colourAt(x, y));
    return picture;
}

// White parts of the hand, as rectangles (left, top, right, bottom, all included); the black outline is
// every other pixel that touches one of them side by side, so fingers come out rounded and apart.
struct Span {
    int left, top, right, bottom;
};
constexpr Span kHand[] = {
    {11, 11, 14, 25}, // index finger, pointing up to the hot spot
    {16, 16, 19, 25}, // middle finger
    {21, 17, 24, 25}, // ring finger
    {26, 19, 28, 25}, // little finger
    {5, 19, 9, 24},   // thumb
    {10, 23, 28, 29}, // palm
    {13, 30, 26, 30}, // wrist
};
constexpr int kCursorSize = 32;

} // namespace

Picture unselectedMark() {
    return markPicture([](int x, int y) {
        // Inner face 1..10: grey 170 at the top-left corner to white at the bottom-right.
        return grey(mix(170, 255, (x - 1 + y - 1) / 18.0));
    });
}

Picture selectedMark() {
    return markPicture([](int x, int y) {
        if (ringOf(x, y) == 1) return grey(200);
        // The 8 x 8 square: bright blue in the middle four pixels, deep navy on its outer ring.
        const double fromCentre = std::max(std::fabs(x - 5.5), std::fabs(y - 5.5));
        const double t = (fromCentre - 0.5) / 3.0;
        return rgb(mix(49, 0, t), mix(177, 16, t), mix(255, 96, t));
    });
}

Picture handCursor() {
    auto white = [](int x, int y) {
        for (const Span& s : kHand)
            if (x >= s.left && x <= s.right && y >= s.top && y <= s.bottom) return true;
        return false;
    };
    Picture picture{kCursorSize, kCursorSize, {}};
    for (int y = 0; y < kCursorSize; ++y)
        for (int x = 0; x < kCursorSize; ++x) {
            const bool edge = white(x - 1, y) || white(x + 1, y) || white(x, y - 1) || white(x, y + 1);
            picture.argb.push_back(white(x, y) ? grey(255) : edge ? grey(0) : 0u);
        }
    return picture;
}

} // namespace mirevo
