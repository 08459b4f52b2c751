#include "saver/session/picture_size.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace mirevo {

PictureSize keptPictureSize(int width, int height) {
    if (width <= 0 || height <= 0) return {width, height};
    const int64_t longer = std::max(width, height), shorter = std::min(width, height);
    if (longer <= kMaxPictureSide && longer * shorter <= kMaxPicturePixels) return {width, height};
    // The longer side as long as both bounds allow, in whole pixels; the shorter one follows it, rounded down.
    const auto shorterFor = [&](int64_t side) { return std::max<int64_t>(1, shorter * side / longer); };
    const auto fits = [&](int64_t side) { return side <= kMaxPictureSide && side * shorterFor(side) <= kMaxPicturePixels; };
    int64_t side = std::min<int64_t>(
        {longer, kMaxPictureSide, int64_t(std::sqrt(double(kMaxPicturePixels) * double(longer) / double(shorter)))});
    while (side > 1 && !fits(side))
        --side;
    while (side < longer && fits(side + 1))
        ++side;
    const int kept = int(side), other = int(shorterFor(side));
    return width >= height ? PictureSize{kept, other} : PictureSize{other, kept};
}

PictureSize nativeDesktopSize(const std::vector<OutputLayout>& outputs) {
    if (outputs.empty()) return {0, 0};
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    int64_t scale = 1, modeWidths = 0, modeHeights = 0;
    for (const OutputLayout& raw : outputs) {
        const OutputLayout output = withLogicalSize(raw);
        left = std::min<int64_t>(left, output.x), top = std::min<int64_t>(top, output.y);
        right = std::max<int64_t>(right, int64_t(output.x) + std::max(0, output.logicalWidth));
        bottom = std::max<int64_t>(bottom, int64_t(output.y) + std::max(0, output.logicalHeight));
        // No output is shown at more than 16 times its logical size; a larger number is the compositor's mistake.
        scale = std::max<int64_t>(scale, std::min(output.scale, 16));
        // Either way round: a turned output's mode lies across the desktop.
        modeWidths += std::max(0, std::max(output.modeWidth, output.modeHeight));
        modeHeights += std::max(0, std::max(output.modeWidth, output.modeHeight));
    }
    const auto side = [](int64_t length) { return int(std::min<int64_t>(length, INT32_MAX)); };
    return {side(std::max((right - left) * scale, modeWidths)), side(std::max((bottom - top) * scale, modeHeights))};
}

namespace {

bool wholeRows(uint32_t width, uint32_t stride) {
    return uint64_t(stride) >= uint64_t(width) * 4 && uint64_t(stride) <= uint64_t(width) * 4 + 4096;
}

} // namespace

bool desktopPictureFits(uint32_t width, uint32_t height, uint32_t stride, PictureSize desktop) {
    if (width == 0 || height == 0 || desktop.width <= 0 || desktop.height <= 0) return false;
    return width <= uint32_t(desktop.width) && height <= uint32_t(desktop.height) && wholeRows(width, stride);
}

bool copyBufferFits(const OutputLayout& output, uint32_t width, uint32_t height, uint32_t stride) {
    if (width == 0 || height == 0 || width > uint32_t(kMaxDesktopSide) || height > uint32_t(kMaxDesktopSide))
        return false;
    if (!wholeRows(width, stride)) return false;
    if (output.modeWidth > 0 && output.modeHeight > 0) {
        const uint32_t longer = uint32_t(std::max(output.modeWidth, output.modeHeight));
        const uint32_t shorter = uint32_t(std::min(output.modeWidth, output.modeHeight));
        if (std::max(width, height) > longer || std::min(width, height) > shorter) return false;
    }
    return true;
}

} // namespace mirevo
