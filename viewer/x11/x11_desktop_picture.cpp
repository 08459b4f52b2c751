#include "viewer/x11/x11_desktop_picture.h"

#include <algorithm>
#include <memory>
#include <optional>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "common/x11/x11_display.h"
#include "common/x11/x11_properties.h"
#include "viewer/picture/box_reduce.h"
#include "viewer/picture/desktop_picture.h"

namespace mirevo::viewer {

namespace {

struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

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
};

std::optional<Area> drawableArea(Display* display, Drawable drawable) {
    Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(display, drawable, &root, &x, &y, &width, &height, &border, &depth)) return std::nullopt;
    return Area{0, 0, static_cast<int>(width), static_cast<int>(height)};
}

// A part of a pixmap, mirrored; empty when the server refuses it (a pixmap gone meanwhile).
Picture readPixmap(Display* display, Pixmap pixmap, const Area& area, int maxSide) {
    if (area.width <= 0 || area.height <= 0) return {};
    std::unique_ptr<XImage, ImageDeleter> image(
        XGetImage(display, pixmap, area.x, area.y, static_cast<unsigned>(area.width),
                  static_cast<unsigned>(area.height), AllPlanes, ZPixmap));
    if (!image) return {};
    PixelLayout layout;
    layout.width = image->width;
    layout.height = image->height;
    layout.bytesPerLine = image->bytes_per_line;
    layout.bitsPerPixel = image->bits_per_pixel;
    layout.mostSignificantFirst = image->byte_order == MSBFirst;
    // A pixmap has no visual of its own: its pixels mean what they mean on the screen's.
    Visual* visual = DefaultVisual(display, DefaultScreen(display));
    layout.redMask = static_cast<uint32_t>(image->red_mask ? image->red_mask : visual->red_mask);
    layout.greenMask = static_cast<uint32_t>(image->green_mask ? image->green_mask : visual->green_mask);
    layout.blueMask = static_cast<uint32_t>(image->blue_mask ? image->blue_mask : visual->blue_mask);
    return mirroredPicture(reinterpret_cast<const uint8_t*>(image->data), layout,
                           reductionFactor(layout.width, layout.height, maxSide));
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

DesktopPicture takeDesktopPictureOnOwnConnection(unsigned long window, bool screenshotAllowed, int maxSide) {
    const auto display = X11Display::open();
    if (!display) return {builtInPictureWithin(maxSide), PictureSource::BuiltIn};
    return takeDesktopPicture(display->get(), window, screenshotAllowed, maxSide);
}

} // namespace mirevo::viewer
