#pragma once
// What of a surface a frame changes. Around the floor there is only black, the same from frame to frame, so a
// frame differs from the last one shown on its surface only where the floor is now or was then: the union of
// the floor's bounds on the screen in the two frames, told to the compositor as the frame's damage, so that a
// compositor drawing on the processor copies and composites no more. The bounds come from the pose through
// the scene's own transforms and projection (the floor's square, cut where it comes nearer than the near
// plane, projected onto the surface), a pixel or two wider for rounding. Plain logic; rectangles in the GL's
// window coordinates (origin at the bottom-left, as EGL's damage rectangles are).
#include <optional>
#include <vector>

#include "viewer/scene/scene_motion.h"

namespace mirevo::viewer {

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    bool contains(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
    bool operator==(const PixelRect& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

// The pixels of a width x height surface the floor may cover in this pose (empty when none).
PixelRect floorBounds(const FramePose& pose, int width, int height);

// The damage of a frame whose floor covers `now`, shown after a frame whose floor covered `lastShown`
// (nothing: that frame is not known to be the floor on black, as after a resize; the whole surface then).
// At most two rectangles, none empty; one when they overlap mostly.
std::vector<PixelRect> frameDamage(const PixelRect& now, const std::optional<PixelRect>& lastShown, int width,
                                   int height);

} // namespace mirevo::viewer
