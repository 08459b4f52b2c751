#include "saver/settings_dialog/zoom_frames.h"

namespace mirevo {

std::vector<ZoomRect> zoomFrames(const ZoomRect& from, const ZoomRect& to, int count) {
    std::vector<ZoomRect> frames;
    auto step = [](int a, int b, int i, int n) { return a + int((long long)(b - a) * i / n); };
    for (int i = 1; i <= count; ++i)
        frames.push_back({step(from.left, to.left, i, count), step(from.top, to.top, i, count),
                          step(from.right, to.right, i, count), step(from.bottom, to.bottom, i, count)});
    return frames;
}

} // namespace mirevo
