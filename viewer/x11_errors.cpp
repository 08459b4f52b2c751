#include "viewer/x11_errors.h"

#include <X11/Xlib.h>

namespace mirevo::viewer {

namespace {
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}
} // namespace

void ignoreX11ProtocolErrors() {
    XSetErrorHandler(ignoreError);
}

} // namespace mirevo::viewer
