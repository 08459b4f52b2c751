#pragma once
// Puts a FrameRequest on a window before it is mapped, and reads which window manager runs.
#include <string>

#include "saver/settings_dialog/frame_request.h"

typedef struct _XDisplay Display;

namespace mirevo {

// The running window manager's name (_NET_WM_NAME of the _NET_SUPPORTING_WM_CHECK window); empty when none
// publishes one.
std::string x11WindowManagerName(Display* display);

// Sets _NET_WM_WINDOW_TYPE and _MOTIF_WM_HINTS. display must be the connection that created the window.
void x11RequestFrame(Display* display, unsigned long window, const FrameRequest& request);

} // namespace mirevo
