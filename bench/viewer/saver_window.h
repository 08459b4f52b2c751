#pragma once
// A saver manager's full-screen window as the benchmarks stand it in: override-redirect, black, with
// xscreensaver's screenshot of the screen (bands of colour) named on it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "tests/harness/x_client.h"

namespace mirevo::bench {

inline Window makeSaverWindow(test::XClient& client, int width, int height) {
    Display* display = client.display();
    XSetWindowAttributes set{};
    set.override_redirect = True;
    set.background_pixel = BlackPixel(display, DefaultScreen(display));
    Window window = XCreateWindow(display, client.root(), 0, 0, width, height, 0, CopyFromParent, InputOutput,
                                  CopyFromParent, CWOverrideRedirect | CWBackPixel, &set);
    XMapWindow(display, window);
    const int screen = DefaultScreen(display);
    Pixmap pixmap = XCreatePixmap(display, client.root(), width, height, DefaultDepth(display, screen));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    for (int band = 0; band < 16; ++band) {
        XSetForeground(display, gc, 0x102030ul * static_cast<unsigned long>(band + 1) ^ 0xFF00FFul);
        XFillRectangle(display, pixmap, gc, band * width / 16, 0, width / 16 + 1, height);
    }
    XFreeGC(display, gc);
    const unsigned long id = pixmap;
    XChangeProperty(display, window, XInternAtom(display, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&id), 1);
    client.sync();
    return window;
}

} // namespace mirevo::bench
