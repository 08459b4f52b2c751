#include "saver/session/x11_screen_grab.h"

#include <cstdint>
#include <optional>

#include "common/x11/x11_error_trap.h"

#include <X11/extensions/Xrandr.h>

namespace mirevo {

std::optional<ScreenArea> primaryMonitor(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        (major == 1 && minor < 3))
        return std::nullopt;

    X11ErrorTrap trap(display);
    Window root = DefaultRootWindow(display);
    RROutput primary = XRRGetOutputPrimary(display, root);
    if (!primary) return std::nullopt;
    std::unique_ptr<XRRScreenResources, void (*)(XRRScreenResources*)> resources(
        XRRGetScreenResourcesCurrent(display, root), XRRFreeScreenResources);
    if (!resources) return std::nullopt;
    std::unique_ptr<XRROutputInfo, void (*)(XRROutputInfo*)> output(
        XRRGetOutputInfo(display, resources.get(), primary), XRRFreeOutputInfo);
    if (!output || !output->crtc) return std::nullopt;
    std::unique_ptr<XRRCrtcInfo, void (*)(XRRCrtcInfo*)> crtc(
        XRRGetCrtcInfo(display, resources.get(), output->crtc), XRRFreeCrtcInfo);
    if (!crtc || trap.failed()) return std::nullopt;
    return ScreenArea{crtc->x, crtc->y, int(crtc->width), int(crtc->height)};
}

ScreenArea primaryScreenArea(Display* display) {
    const int screen = DefaultScreen(display);
    return chooseScreenArea(DisplayWidth(display, screen), DisplayHeight(display, screen),
                            primaryMonitor(display));
}

std::unique_ptr<RowSource> openScreenRows(Display* display, const ScreenArea& area, GrabMethod method) {
    if (!display) return nullptr;
    const int screen = DefaultScreen(display);
    const Visual* visual = DefaultVisual(display, screen);
    const DrawablePixels root{DefaultRootWindow(display), DefaultDepth(display, screen),
                              PixelFormat{uint32_t(visual->red_mask), uint32_t(visual->green_mask),
                                          uint32_t(visual->blue_mask)}};
    return openDrawableRows(display, root, area, method);
}

} // namespace mirevo
