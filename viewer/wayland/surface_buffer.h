#pragma once
// The buffer a viewer surface is drawn into: as many pixels as its output shows it with, no more (a buffer
// for a scale the output no longer has draws four times the pixels shown) and no fewer (a blurred quarter).
// The output's own ratio of pixels to logical size says how it shows a surface: an integer ratio is the
// buffer scale (wl_surface.set_buffer_scale); a fractional one (a compositor scaling by 1.5, which announces
// a wl_output scale of 2) is met exactly through the viewporter, where offered: a buffer of the output's
// pixels shown at the logical size; without it, the largest integer scale whose buffer the output does not
// shrink. Plain logic over the output's layout.
#include "common/wayland/output_layout.h"

namespace mirevo::viewer {

struct SurfaceBuffer {
    int width = 0, height = 0; // pixels
    int scale = 1;             // the buffer scale asked for
    bool viewport = false;     // shown at the logical size through wp_viewporter (scale 1)

    bool operator==(const SurfaceBuffer& o) const {
        return width == o.width && height == o.height && scale == o.scale && viewport == o.viewport;
    }
    bool operator!=(const SurfaceBuffer& o) const { return !(*this == o); }
};

// For a surface the compositor sized logicalWidth x logicalHeight on this output. bufferScaleOffered: the
// compositor takes set_buffer_scale (wl_compositor 3 or later).
SurfaceBuffer planSurfaceBuffer(int logicalWidth, int logicalHeight, const OutputLayout& output,
                                bool bufferScaleOffered, bool viewporterOffered);

} // namespace mirevo::viewer
