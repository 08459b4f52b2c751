#include "viewer/wayland/surface_buffer.h"

#include <algorithm>
#include <cmath>

namespace mirevo::viewer {

SurfaceBuffer planSurfaceBuffer(int logicalWidth, int logicalHeight, const OutputLayout& output,
                                bool bufferScaleOffered, bool viewporterOffered) {
    logicalWidth = std::max(1, logicalWidth), logicalHeight = std::max(1, logicalHeight);
    const bool turned = (static_cast<int>(output.transform) & 1) != 0;
    const int pixelsAcross = turned ? output.modeHeight : output.modeWidth;
    // The output's pixels per logical unit: its mode against its logical size where both are known (they
    // say a fractional scale, which wl_output's integer scale rounds up), else its integer scale.
    const double ratio = pixelsAcross > 0 && output.logicalWidth > 0 ? double(pixelsAcross) / output.logicalWidth
                                                                      : double(std::max(1, output.scale));
    const long whole = std::lround(ratio);
    const auto scaled = [&](int scale) {
        return SurfaceBuffer{logicalWidth * scale, logicalHeight * scale, scale, false};
    };
    if (whole >= 1 && std::fabs(ratio - double(whole)) < 0.01) return scaled(bufferScaleOffered ? int(whole) : 1);
    if (viewporterOffered)
        return {std::max(1, int(std::lround(logicalWidth * ratio))), std::max(1, int(std::lround(logicalHeight * ratio))),
                1, true};
    return scaled(bufferScaleOffered ? std::max(1, int(std::floor(ratio))) : 1);
}

} // namespace mirevo::viewer
