#include "viewer/x11/x11_desktop_picture.h"

#include <algorithm>
#include <memory>
#include <optional>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "common/x11/pixel_format.h"
#include "common/x11/x11_display.h"
#include "common/x11/x11_drawable_rows.h"
#include "common/x11/x11_properties.h"
#include "viewer/picture/box_reduce.h"
#include "viewer/picture/desktop_picture.h"

namespace mirevo::viewer {

namespace {

// A pixmap named by a window property, or nothing.
std::optional<Pixmap> pixmapProperty(Display* display, Window window, const char* name) {
    for (Atom type : {XA_PIXMAP, XA_DRAWABLE}) {
        const std::vector<long> values = x11LongList(display, window, name, type);
        if (values.size() == 1 && values[0]) return static_cast<Pixmap>(values[0]);
    }
    return std::nullopt;
}

struct Area {
    int x = 0, y = 0, width = 0, height = 0;
    int depth = 0; // the drawable's
};

std::optional<Area> drawableArea(Display* display, Drawable drawable) {
    Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(display, drawable, &root, &x, &y, &width, &height, &border, &depth)) return std::nullopt;
    return Area{0, 0, static_cast<int>(width), static_cast<int>(height), static_cast<int>(depth)};
}

// How a pixmap of this depth holds its colours. A pixmap has no visual of its own: its pixels mean what they
// mean on a visual of its depth, the screen's own first; without one, what the server's standard for the
// depth is. Nothing for a depth of colour-map indexes.
std::optional<PixelFormat> pixmapFormat(Display* display, int depth) {
    const int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    const auto isTrueColor = [](int c_class) { return c_class == TrueColor || c_class == DirectColor; };
    if (depth == DefaultDepth(display, screen) && isTrueColor(visual->c_class))
        return PixelFormat{static_cast<uint32_t>(visual->red_mask), static_cast<uint32_t>(visual->green_mask),
                           static_cast<uint32_t>(visual->blue_mask)};
    XVisualInfo info{};
    if (XMatchVisualInfo(display, screen, depth, TrueColor, &info))
        return PixelFormat{static_cast<uint32_t>(info.red_mask), static_cast<uint32_t>(info.green_mask),
                           static_cast<uint32_t>(info.blue_mask)};
    return standardPixelFormat(depth);
}

// A part of a pixmap, mirrored, read a band at a time; empty when the server refuses it (a pixmap gone
// meanwhile) or its pixels are colour-map indexes.
Picture readPixmap(Display* display, Pixmap pixmap, const Area& area, int maxSide) {
    if (area.width <= 0 || area.height <= 0) return {};
    const auto format = pixmapFormat(display, area.depth);
    if (!format) return {};
    const std::unique_ptr<DrawableRows> rows = openDrawableRows(
        display, DrawablePixels{pixmap, area.depth, *format}, ScreenArea{area.x, area.y, area.width, area.height});
    if (!rows) return {};
    const int bits = rows->bitsPerPixel();
    if (bits != 16 && bits != 24 && bits != 32) return {};
    return mirroredPicture(*rows, reductionFactor(area.width, area.height, maxSide));
}

// The part of a screen-sized pixmap under the window; the whole pixmap when it is the window's own size.
Picture partUnder(Display* display, Pixmap pixmap, Window window, int maxSide) {
    const auto whole = drawableArea(display, pixmap);
    XWindowAttributes attributes{};
    Window child = 0;
    int x = 0, y = 0;
    if (!whole || !XGetWindowAttributes(display, window, &attributes) ||
        !XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child))
        return {};
    if (whole->width == attributes.width && whole->height == attributes.height)
        return readPixmap(display, pixmap, *whole, maxSide);
    Area area;
    area.depth = whole->depth;
    area.x = std::max(x, 0);
    area.y = std::max(y, 0);
    area.width = std::min(x + attributes.width, whole->width) - area.x;
    area.height = std::min(y + attributes.height, whole->height) - area.y;
    return readPixmap(display, pixmap, area, maxSide);
}

// xscreensaver names its screenshot on the window it gives the hack, or on one above it.
Picture screenshotAbove(Display* display, Window window, int maxSide) {
    const Window root = DefaultRootWindow(display);
    for (Window w = window; w && w != root;) {
        if (auto pixmap = pixmapProperty(display, w, "_SCREENSAVER_SCREENSHOT"))
            return partUnder(display, *pixmap, window, maxSide);
        Window parent = 0, rootReturn = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, w, &rootReturn, &parent, &children, &count)) break;
        if (children) XFree(children);
        w = parent;
    }
    return {};
}

Picture wallpaperUnder(Display* display, Window window, int maxSide) {
    const Window root = DefaultRootWindow(display);
    std::optional<Pixmap> pixmap = pixmapProperty(display, root, "_XROOTPMAP_ID");
    if (!pixmap) pixmap = pixmapProperty(display, root, "ESETROOT_PMAP_ID");
    return pixmap ? partUnder(display, *pixmap, window, maxSide) : Picture{};
}

} // namespace

DesktopPicture takeDesktopPicture(Display* display, unsigned long window, bool screenshotAllowed,
                                  int maxSide) {
    if (screenshotAllowed) {
        Picture shot = screenshotAbove(display, window, maxSide);
        if (shot.width > 0) return {std::move(shot), PictureSource::Screenshot};
    }
    Picture wallpaper = wallpaperUnder(display, window, maxSide);
    if (wallpaper.width > 0) return {std::move(wallpaper), PictureSource::Wallpaper};
    return {builtInPictureWithin(maxSide), PictureSource::BuiltIn};
}

DesktopPicture takeDesktopPictureOnOwnConnection(unsigned long window, bool screenshotAllowed, int maxSide,
                                                 const BeforeReading& beforeReading) {
    const auto display = X11Display::open();
    if (!display) return {builtInPictureWithin(maxSide), PictureSource::BuiltIn};
    XWindowAttributes attributes{};
    if (beforeReading && XGetWindowAttributes(display->get(), window, &attributes))
        beforeReading(attributes.width, attributes.height);
    return takeDesktopPicture(display->get(), window, screenshotAllowed, maxSide);
}

} // namespace mirevo::viewer
