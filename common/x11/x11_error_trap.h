#pragma once
// For the X adapters only (it brings in Xlib's macros). Errors the server reports while a trap is set are
// counted, not fatal: a screen may refuse to be read, a shared-memory segment may not attach on a remote
// server.
#include <X11/Xlib.h>

#include "common/x11/x11_error_count.h"

namespace mirevo {

class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;
    // Waits for the server to answer everything sent so far; true when any of it failed since the trap was
    // set.
    bool failed();

private:
    Display* display_;
    XErrorHandler previous_;
    unsigned long errorsBefore_;
};

// For what Xlib hands out to be freed with XFree: std::unique_ptr<T, XFreeDeleter>.
struct XFreeDeleter {
    void operator()(void* p) const {
        if (p) XFree(p);
    }
};

} // namespace mirevo
