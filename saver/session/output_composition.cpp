#include "saver/session/output_composition.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace mirevo {

std::optional<PixelView> ComposedPicture::readRows(int top, int count) {
    if (top < 0 || count <= 0 || top + count > height_) return std::nullopt;
    return PixelView{reinterpret_cast<const uint8_t*>(pixels_.data() + size_t(top) * size_t(width_)), width_, count,
                     size_t(width_) * 4};
}

bool ComposedPicture::allBlack() const {
    return std::all_of(pixels_.begin(), pixels_.end(), [](uint32_t p) { return (p & 0xFFFFFF) == 0; });
}

// The transform turns the user's picture counter-clockwise into the copy (a mirror first for the flipped
// ones); this undoes it point by point.
void copiedPoint(OutputTransform transform, int x, int y, int width, int height, int& copyX, int& copyY) {
    const int t = static_cast<int>(transform);
    if (t & 4) x = width - 1 - x;
    switch (t & 3) {
    case 0: copyX = x, copyY = y; break;
    case 1: copyX = y, copyY = width - 1 - x; break;
    case 2: copyX = width - 1 - x, copyY = height - 1 - y; break;
    default: copyX = height - 1 - y, copyY = x; break;
    }
}

Result<ComposedPicture, std::string> composeOutputs(const std::vector<OutputCopy>& copies) {
    if (copies.empty()) return Failure(std::string("no output was copied"));
    long left = LONG_MAX, top = LONG_MAX, right = LONG_MIN, bottom = LONG_MIN;
    for (const OutputCopy& copy : copies) {
        const OutputLayout& l = copy.layout;
        if (copy.width <= 0 || copy.height <= 0 || copy.stride < size_t(copy.width) * 4 ||
            copy.pixels.size() < copy.stride * size_t(copy.height))
            return Failure("the copy of output " + l.name + " is incomplete");
        if (l.logicalWidth <= 0 || l.logicalHeight <= 0) return Failure("output " + l.name + " has no size");
        left = std::min<long>(left, l.x), top = std::min<long>(top, l.y);
        right = std::max<long>(right, long(l.x) + l.logicalWidth);
        bottom = std::max<long>(bottom, long(l.y) + l.logicalHeight);
    }
    if (right - left > kMaxComposedSide || bottom - top > kMaxComposedSide)
        return Failure(std::string("the outputs span more than ") + std::to_string(kMaxComposedSide) + " pixels");
    // The box's pixel for each of the picture's, which is smaller than the box where the box is larger than
    // the floor can show.
    const long boxWidth = right - left, boxHeight = bottom - top;
    const PictureSize kept = keptPictureSize(int(boxWidth), int(boxHeight));
    const auto firstAt = [](long boxEdge, long keptSide, long boxSide) { // the first picture pixel at or past it
        return (boxEdge * keptSide + boxSide - 1) / boxSide;
    };
    ComposedPicture picture(kept.width, kept.height);
    for (const OutputCopy& copy : copies) {
        const OutputLayout& l = copy.layout;
        const bool turned = (static_cast<int>(l.transform) & 1) != 0;
        // The copy seen the user's way round, and how many of its pixels make one logical pixel.
        const int seenWidth = turned ? copy.height : copy.width;
        const int seenHeight = turned ? copy.width : copy.height;
        const long ox = l.x - left, oy = l.y - top;
        const long x0 = firstAt(ox, kept.width, boxWidth), x1 = firstAt(ox + l.logicalWidth, kept.width, boxWidth);
        const long y0 = firstAt(oy, kept.height, boxHeight), y1 = firstAt(oy + l.logicalHeight, kept.height, boxHeight);
        for (long py = y0; py < y1; ++py) {
            const long y = py * boxHeight / kept.height - oy;
            const int seenY = int((y * seenHeight + seenHeight / (2 * l.logicalHeight)) / l.logicalHeight);
            for (long px = x0; px < x1; ++px) {
                const long x = px * boxWidth / kept.width - ox;
                const int seenX = int((x * seenWidth + seenWidth / (2 * l.logicalWidth)) / l.logicalWidth);
                int cx = 0, cy = 0;
                copiedPoint(l.transform, std::min(seenX, seenWidth - 1), std::min(seenY, seenHeight - 1), seenWidth,
                            seenHeight, cx, cy);
                if (copy.yInverted) cy = copy.height - 1 - cy;
                uint32_t pixel;
                std::memcpy(&pixel, copy.pixels.data() + size_t(cy) * copy.stride + size_t(cx) * 4, 4);
                if (copy.order == CopiedPixels::Xbgr)
                    pixel = (pixel & 0xFF00) | (pixel >> 16 & 0xFF) | (pixel & 0xFF) << 16;
                picture.set(int(px), int(py), pixel & 0xFFFFFF);
            }
        }
    }
    return picture;
}

} // namespace mirevo
