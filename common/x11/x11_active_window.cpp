#include "common/x11/x11_active_window.h"

#include <X11/Xlib.h>

namespace mirevo {

void x11AskToActivate(Display* display, unsigned long window, ActivationSource source, unsigned long time) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(source);
    event.xclient.data.l[1] = static_cast<long>(time);
    event.xclient.data.l[2] = 0; // none of the asker's windows holds the focus
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
}

} // namespace mirevo
