#include "common/x11/x11_display.h"

#include <cstdlib>

#include "common/x11/x11_error_trap.h"

namespace mirevo {

std::unique_ptr<X11Display> X11Display::open() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    Display* display = XOpenDisplay(name);
    if (!display) return nullptr;
    x11CountErrorsFromNowOn();
    return std::unique_ptr<X11Display>(new X11Display(display));
}

X11Display::~X11Display() {
    XCloseDisplay(display_);
}

std::string noDisplayReason() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        return "Mirevo.scr: no X display (DISPLAY is not set) and no Wayland compositor answers; the screen saver "
               "needs one of them.";
    return std::string("Mirevo.scr: cannot connect to the X display \"") + name +
           "\"; the screen saver needs X11 or XWayland.";
}

} // namespace mirevo
