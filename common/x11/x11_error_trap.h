#pragma once
// For the X adapters only (it brings in Xlib's macros). An X error belongs to the request that caused it: a
// trap set on a connection reports the errors of the requests made on that connection from then on, and no
// others (not another connection's, nor another thread's on its own connection). A screen may refuse to be
// read, a window may be gone: the program hears it as failed(), never as its end.
#include <X11/Xlib.h>

#include "common/x11/x11_error_handler.h"

namespace mirevo {

class X11ErrorTrap {
public:
    // For a connection one thread uses at a time.
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;
    // Waits for the server to answer everything sent so far; true when any request made on this connection
    // since the trap was set failed.
    bool failed();

private:
    friend struct X11TrapBook;
    Display* display_;
    unsigned long firstSerial_; // of the first request the trap covers
    unsigned long errors_ = 0;
};

// For what Xlib hands out to be freed with XFree: std::unique_ptr<T, XFreeDeleter>.
struct XFreeDeleter {
    void operator()(void* p) const {
        if (p) XFree(p);
    }
};

} // namespace mirevo
