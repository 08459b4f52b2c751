#pragma once
// The frame a window manager will put around a window that is not shown yet, asked for the way window
// managers publish it (_NET_REQUEST_FRAME_EXTENTS, answered in _NET_FRAME_EXTENTS).
#include <chrono>
#include <vector>

#include "common/x11/x11_properties.h"
#include "saver/settings_dialog/dialog_services.h"

typedef struct _XDisplay Display;

namespace mirevo {

// Zero margins without a window manager that offers the request, or when it has not answered by the
// deadline. display must be the connection that created the window (so the window exists for it).
FrameMargins x11FrameExtents(Display* display, unsigned long window, std::chrono::milliseconds deadline);

} // namespace mirevo
