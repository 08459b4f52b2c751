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

std::vector<long> x11LongList(Display* display, unsigned long window, const char* name, unsigned long type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type,
                           &actualType, &format, &count, &after, &raw) != Success)
        return {};
    std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    if (!data || format != 32 || actualType != type) return {};
    const long* values = reinterpret_cast<const long*>(data.get());
    return std::vector<long>(values, values + count);
}

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
