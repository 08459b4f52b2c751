#pragma once
// The frame a window manager will put around a window that is not shown yet, asked for the way window
// managers publish it (_NET_REQUEST_FRAME_EXTENTS, answered in _NET_FRAME_EXTENTS).
#include <chrono>
#include <vector>

#include "saver/settings_dialog/dialog_services.h"

typedef struct _XDisplay Display;

namespace mirevo {

// A window property of 32-bit values (type XA_CARDINAL, XA_ATOM, ...): its values, empty when it is missing
// or of another type.
std::vector<long> x11LongList(Display* display, unsigned long window, const char* name, unsigned long type);

// Zero margins without a window manager that offers the request, or when it has not answered by the
// deadline. display must be the connection that created the window (so the window exists for it).
FrameMargins x11FrameExtents(Display* display, unsigned long window, std::chrono::milliseconds deadline);

} // namespace mirevo
