#include "common/x11/x11_window_search.h"

#include "common/x11/x11_error_trap.h"
#include "common/x11/x11_properties.h"

#include <memory>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace mirevo {
namespace {

bool propertyEquals(Display* display, Window window, Atom property, Atom type, const std::string& title) {
    return x11Text(display, window, property, type, 1024) == title;
}

bool hasTitle(Display* display, Window window, const std::string& title, Atom netWmName, Atom utf8) {
    return propertyEquals(display, window, netWmName, utf8, title) ||
           propertyEquals(display, window, XA_WM_NAME, AnyPropertyType, title);
}

std::vector<Window> children(Display* display, Window window) {
    Window root = 0, parent = 0, *raw = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &raw, &count)) return {};
    std::unique_ptr<Window, XFreeDeleter> list(raw);
    return std::vector<Window>(raw, raw + count);
}

// Top-level windows are the root's children; with a reparenting window manager the client window sits one or
// two levels below a frame, so the frames' descendants are searched too.
Window search(Display* display, Window window, const std::string& title, Atom netWmName, Atom utf8,
              int depth) {
    for (Window child : children(display, window)) {
        if (hasTitle(display, child, title, netWmName, utf8)) return child;
        if (depth > 0) {
            if (Window found = search(display, child, title, netWmName, utf8, depth - 1)) return found;
        }
    }
    return 0;
}

} // namespace

unsigned long x11FindWindow(Display* display, const std::string& title) {
    if (!display) return 0;
    X11ErrorTrap trap(display); // a window can be destroyed between listing and asking
    Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    // Only the display's default screen: each screen of a display (":0.0", ":0.1") has its own saver.
    return search(display, DefaultRootWindow(display), title, netWmName, utf8, 2);
}

bool x11ScreenCoveredBy(Display* display, const std::string& windowClass) {
    if (!display) return false;
    X11ErrorTrap trap(display);
    const Window root = DefaultRootWindow(display);
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    // Lockers cover the screen with override-redirect windows, the root's own children.
    for (Window child : children(display, root)) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, child, &attributes) || attributes.map_state != IsViewable) continue;
        if (attributes.x > 0 || attributes.y > 0 || attributes.x + attributes.width < width ||
            attributes.y + attributes.height < height)
            continue;
        XClassHint hint{};
        if (!XGetClassHint(display, child, &hint)) continue;
        const bool matches = hint.res_class && windowClass == hint.res_class;
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
        if (matches) return true;
    }
    return false;
}

bool x11WindowExists(Display* display, const std::string& title) {
    return x11FindWindow(display, title) != 0;
}

} // namespace mirevo
