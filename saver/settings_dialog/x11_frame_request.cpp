#include "saver/settings_dialog/x11_frame_request.h"

#include <memory>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "common/x11/x11_error_trap.h"
#include "saver/settings_dialog/x11_frame_extents.h"

namespace mirevo {

std::string x11WindowManagerName(Display* display) {
    if (!display) return {};
    X11ErrorTrap trap(display); // the check window may be gone with a window manager that just ended
    const std::vector<long> check =
        x11LongList(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    if (check.size() != 1) return {};
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, Window(check[0]), XInternAtom(display, "_NET_WM_NAME", False), 0, 256,
                           False, utf8, &actualType, &format, &count, &after, &raw) != Success)
        return {};
    std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    if (!data || trap.failed() || actualType != utf8 || format != 8) return {};
    return std::string(reinterpret_cast<const char*>(data.get()), count);
}

void x11RequestFrame(Display* display, unsigned long window, const FrameRequest& request) {
    if (!display || !window) return;
    X11ErrorTrap trap(display);
    std::vector<Atom> types;
    for (const std::string& name : request.windowTypes)
        types.push_back(XInternAtom(display, name.c_str(), False));
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(types.data()), int(types.size()));
    const Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    const long hints[5] = {request.motifFlags, request.motifFunctions, request.motifDecorations, 0, 0};
    XChangeProperty(display, window, motif, motif, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hints), 5);
    XFlush(display);
}

} // namespace mirevo
