#pragma once
// Reading the screen's pixels from the X server, a band of rows at a time: the primary monitor's part of the
// root window, read as any drawable is (common/x11/x11_drawable_rows.h).
#include <memory>

#include "common/x11/screen_area.h"
#include "common/x11/x11_drawable_rows.h"
#include "saver/session/snapshot_bitmap.h"

typedef struct _XDisplay Display;

namespace mirevo {

// The part of the root window to read: the primary monitor that RandR names, chosen by chooseScreenArea.
ScreenArea primaryScreenArea(Display* display);

// The area's rows, read from the server when asked for. A server that refuses to read the screen (XWayland
// may) shows as rows that cannot be read. Nothing for an empty area.
std::unique_ptr<RowSource> openScreenRows(Display* display, const ScreenArea& area,
                                          GrabMethod method = GrabMethod::Fastest);

} // namespace mirevo
