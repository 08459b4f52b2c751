#pragma once
// Finding a top-level window by its exact title on X11, hidden ones included.
#include <string>

typedef struct _XDisplay Display;

namespace mirevo {

// Walks the whole tree from the default screen's root (there may be no window manager, hence no
// _NET_CLIENT_LIST) and compares _NET_WM_NAME (UTF-8) or WM_NAME with the title. Windows that vanish mid-walk
// are skipped.
bool x11WindowExists(Display* display, const std::string& title);

// The id of the first such window, or 0.
unsigned long x11FindWindow(Display* display, const std::string& title);

// Is the default screen covered by a viewable top-level window of this WM_CLASS class (a locker's own
// window, as "XScreenSaver" for xscreensaver's), at least the screen's size?
bool x11ScreenCoveredBy(Display* display, const std::string& windowClass);

} // namespace mirevo
