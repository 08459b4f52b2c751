#include "saver/session/x11_hidden_window.h"

#include "common/x11/x11_error_trap.h"

#include <X11/Xatom.h>

namespace mirevo {

X11HiddenWindow::X11HiddenWindow(Display* display, const std::string& title) : display_(display) {
    if (!display_) return;
    X11ErrorTrap trap(display_);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True; // no window manager ever takes it over
    window_ = XCreateWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, CopyFromParent, InputOnly,
                            CopyFromParent, CWOverrideRedirect, &attributes);
    XStoreName(display_, window_, title.c_str());
    Atom netWmName = XInternAtom(display_, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    XChangeProperty(display_, window_, netWmName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
    // Another start looks for the title as soon as this one returns.
    if (trap.failed()) window_ = 0;
}

X11HiddenWindow::~X11HiddenWindow() {
    if (!display_ || !window_) return;
    XDestroyWindow(display_, window_);
    XFlush(display_);
}

} // namespace mirevo
