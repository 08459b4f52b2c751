#include "common/x11/x11_display.h"

#include <cstdlib>
#include <mutex>

#include <X11/Xlib.h>

#include "common/x11/x11_error_handler.h"

namespace mirevo {

Result<X11Display, std::string> X11Display::open(const char* name) {
    if (!name || !*name) name = std::getenv("DISPLAY");
    if (!name || !*name) return Failure(std::string("no X display (DISPLAY is not set)"));
    x11InstallErrorHandler();
    Display* display = XOpenDisplay(name);
    if (!display) return Failure("cannot connect to the X display \"" + std::string(name) + "\"");
    return X11Display(display);
}

Result<X11Display, std::string> X11Display::openAnother(Display* display) {
    return open(DisplayString(display));
}

void X11Display::allowThreads() {
    static std::once_flag done;
    std::call_once(done, [] { XInitThreads(); });
}

void X11Display::Closer::operator()(Display* display) const {
    XCloseDisplay(display);
}

} // namespace mirevo
