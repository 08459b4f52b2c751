#include "saver/settings_dialog/x11_frame_request.h"

#include <optional>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "common/x11/x11_error_trap.h"
#include "common/x11/x11_properties.h"
#include "saver/settings_dialog/x11_frame_extents.h"

namespace mirevo {

std::string x11WindowManagerName(Display* display) {
    if (!display) return {};
    X11ErrorTrap trap(display); // the check window may be gone with a window manager that just ended
    const std::vector<long> check =
        x11LongList(display, DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    if (check.size() != 1) return {};
    const std::optional<std::string> name =
        x11Text(display, Window(check[0]), XInternAtom(display, "_NET_WM_NAME", False),
                XInternAtom(display, "UTF8_STRING", False), 256);
    if (!name || trap.failed()) return {};
    return *name;
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
