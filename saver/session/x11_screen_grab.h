#pragma once
// Reading the screen's pixels from the X server: through a shared-memory segment where the server offers
// one, with a plain image request otherwise.
#include <optional>

#include "saver/session/snapshot_bitmap.h"

typedef struct _XDisplay Display;

namespace mirevo {

struct ScreenArea {
    int x = 0, y = 0, width = 0, height = 0;
};

// The primary monitor's area of the root window (the whole root when RandR names no primary monitor).
ScreenArea primaryScreenArea(Display* display);

enum class GrabMethod { Fastest, PlainImage };

// The area's pixels, or nothing when the server refuses to read the screen (XWayland does).
std::optional<ScreenPicture> grabScreenArea(Display* display, const ScreenArea& area,
                                            GrabMethod method = GrabMethod::Fastest);

} // namespace mirevo
