#include "common/x11/x11_error_trap.h"

#include <atomic>

namespace mirevo {
namespace {

std::atomic<unsigned long> errorsSeen{0};

int countError(Display*, XErrorEvent*) {
    ++errorsSeen;
    return 0;
}

} // namespace

void x11CountErrorsFromNowOn() {
    XSetErrorHandler(countError);
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
