#include "common/x11/x11_error_trap.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace mirevo {

// The traps set now, on every connection and thread. The handler runs on the thread whose call read the
// error, inside Xlib; nothing here calls Xlib while it holds the lock.
struct X11TrapBook {
    std::mutex lock;
    std::vector<X11ErrorTrap*> traps;

    static X11TrapBook& instance() {
        static X11TrapBook book;
        return book;
    }

    void record(Display* display, const XErrorEvent& error) {
        std::lock_guard<std::mutex> hold(lock);
        // Nested traps on one connection all cover the request: the inner one's requests are the outer's too.
        for (X11ErrorTrap* trap : traps)
            if (trap->display_ == display && error.serial >= trap->firstSerial_) ++trap->errors_;
    }
};

namespace {

int handleError(Display* display, XErrorEvent* error) {
    X11TrapBook::instance().record(display, *error);
    return 0; // Xlib ignores the value; returning at all keeps the process alive
}

} // namespace

void x11InstallErrorHandler() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        X11TrapBook::instance(); // made before any error can come
        XSetErrorHandler(handleError);
    });
}

X11ErrorTrap::X11ErrorTrap(Display* display) : display_(display), firstSerial_(NextRequest(display)) {
    x11InstallErrorHandler();
    X11TrapBook& book = X11TrapBook::instance();
    std::lock_guard<std::mutex> hold(book.lock);
    book.traps.push_back(this);
}

X11ErrorTrap::~X11ErrorTrap() {
    // The answers to the trap's own requests come in while it is still there to take their errors.
    XSync(display_, False);
    X11TrapBook& book = X11TrapBook::instance();
    std::lock_guard<std::mutex> hold(book.lock);
    book.traps.erase(std::find(book.traps.begin(), book.traps.end(), this));
}

bool X11ErrorTrap::failed() {
    XSync(display_, False);
    X11TrapBook& book = X11TrapBook::instance();
    std::lock_guard<std::mutex> hold(book.lock);
    return errors_ != 0;
}

} // namespace mirevo
