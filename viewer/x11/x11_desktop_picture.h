#pragma once
// The desktop as it looked, for a hack: the screenshot xscreensaver keeps of each monitor before it blanks
// (a pixmap named by _SCREENSAVER_SCREENSHOT on the saver's window or one above it), where the user allows
// it; else the part of the wallpaper (_XROOTPMAP_ID on the root window) under the window; else the built-in
// picture. Mirrored left to right as the saver's snapshot is.
#include <functional>

#include "viewer/picture/desktop_picture.h"

struct _XDisplay;

namespace mirevo::viewer {

// maxSide: the GL's largest texture side; a larger picture is reduced while it is converted.
DesktopPicture takeDesktopPicture(_XDisplay* display, unsigned long window, bool screenshotAllowed,
                                  int maxSide);
// Told the window's size before the picture is read (the picture holds at most that many pixels), so that
// the memory it and its texture will take can be made ready.
using BeforeReading = std::function<void(int width, int height)>;
// The same on a connection of its own to $DISPLAY, so that it can run beside the GL's set-up on another
// thread (X11Display::allowThreads must have been called); the built-in picture when the display cannot be
// opened.
DesktopPicture takeDesktopPictureOnOwnConnection(unsigned long window, bool screenshotAllowed, int maxSide,
                                                 const BeforeReading& beforeReading = {});

} // namespace mirevo::viewer
