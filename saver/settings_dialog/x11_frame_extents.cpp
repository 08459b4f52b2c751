#include "saver/settings_dialog/x11_frame_extents.h"

#include <memory>
#include <thread>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "common/x11/x11_error_trap.h"

namespace mirevo {
namespace {

bool managerOffersRequest(Display* display, Atom request) {
    for (long atom : x11LongList(display, DefaultRootWindow(display), "_NET_SUPPORTED", XA_ATOM))
        if (Atom(atom) == request) return true;
    return false;
}

} // namespace

FrameMargins x11FrameExtents(Display* display, unsigned long window, std::chrono::milliseconds deadline) {
    if (!display || !window) return {};
    X11ErrorTrap trap(display);
    const Atom request = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
    if (!managerOffersRequest(display, request)) return {};

    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = request;
    message.xclient.format = 32;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &message);
    XFlush(display);

    // The property is read back rather than waited for as an event: the toolkit owns this connection's
    // event queue.
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        const std::vector<long> values = x11LongList(display, window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
        if (values.size() == 4) return {int(values[0]), int(values[2]), int(values[1]), int(values[3])};
        if (trap.failed() || std::chrono::steady_clock::now() >= end) return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace mirevo
