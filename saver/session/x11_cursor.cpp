#include "saver/session/x11_cursor.h"

#include "common/x11/x11_error_trap.h"

#include <X11/extensions/Xfixes.h>

namespace mirevo {
namespace {

bool haveXFixes(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    // Hiding the cursor came with version 4.
    return XFixesQueryExtension(display, &eventBase, &errorBase) &&
           XFixesQueryVersion(display, &major, &minor) && major >= 4;
}

void setCursorShown(Display* display, bool shown) {
    if (!display || !haveXFixes(display)) return;
    X11ErrorTrap trap(display);
    if (shown)
        XFixesShowCursor(display, DefaultRootWindow(display));
    else
        XFixesHideCursor(display, DefaultRootWindow(display));
    XFlush(display);
}

} // namespace

void x11HideCursor(Display* display) {
    setCursorShown(display, false);
}
void x11ShowCursor(Display* display) {
    setCursorShown(display, true);
}

} // namespace mirevo
