#include "saver/session/x11_display.h"

#include <atomic>
#include <cstdlib>

#include "saver/session/x11_error_trap.h"

namespace mirevo {
namespace {

std::atomic<unsigned long> errorsSeen{0};

int countError(Display*, XErrorEvent*) {
    ++errorsSeen;
    return 0;
}

} // namespace

std::unique_ptr<X11Display> X11Display::open() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    Display* display = XOpenDisplay(name);
    if (!display) return nullptr;
    // Xlib's default handler ends the process on any error, and a window may vanish while it is looked at.
    XSetErrorHandler(countError);
    return std::unique_ptr<X11Display>(new X11Display(display));
}

X11Display::~X11Display() { XCloseDisplay(display_); }

std::string noDisplayReason() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        return "Mirevo.scr: no X display (DISPLAY is not set); the screen saver needs X11 or XWayland.";
    return std::string("Mirevo.scr: cannot connect to the X display \"") + name +
           "\"; the screen saver needs X11 or XWayland.";
}

X11ErrorTrap::X11ErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    previous_ = XSetErrorHandler(countError);
    errorsBefore_ = errorsSeen.load();
}

X11ErrorTrap::~X11ErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
}

bool X11ErrorTrap::failed() {
    XSync(display_, False);
    return errorsSeen.load() != errorsBefore_;
}

} // namespace mirevo
