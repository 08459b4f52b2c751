#include "saver/preview/preview_x11_window.h"

#include <algorithm>
#include <cstring>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "common/x11/pixel_format.h"
#include "common/x11/x11_display.h"
#include "common/x11/x11_error_trap.h"
#include "saver/preview/preview_layout.h"

namespace mirevo {

namespace {

constexpr const char* kTitle = "Preview Window";

// XDestroyImage would free() the pixel data, which belongs to a vector here.
struct BorrowedImageDeleter {
    void operator()(XImage* image) const {
        image->data = nullptr;
        XDestroyImage(image);
    }
};

PixelFormat formatOf(const Visual* visual) {
    return PixelFormat{static_cast<uint32_t>(visual->red_mask), static_cast<uint32_t>(visual->green_mask),
                       static_cast<uint32_t>(visual->blue_mask)};
}

bool isDirectColour(const Visual* visual) {
    return visual && (visual->c_class == TrueColor || visual->c_class == DirectColor);
}

void setTitle(Display* display, Window window) {
    XStoreName(display, window, kTitle);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(kTitle), static_cast<int>(std::strlen(kTitle)));
}

// The picture as a pixmap of the host's depth, or None when it cannot be made.
Pixmap makePicturePixmap(Display* display, Window parent, const XWindowAttributes& host,
                         const PreviewPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0 || !isDirectColour(host.visual) ||
        picture.rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3)
        return None;
    std::unique_ptr<XImage, BorrowedImageDeleter> image(XCreateImage(
        display, host.visual, host.depth, ZPixmap, 0, nullptr, picture.width, picture.height, 32, 0));
    if (!image) return None;
    std::vector<char> data(static_cast<size_t>(image->bytes_per_line) * picture.height);
    image->data = data.data();
    const std::vector<uint32_t> pixels = packPicture(formatOf(host.visual), picture.rgb);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            XPutPixel(image.get(), x, y, pixels[static_cast<size_t>(y) * picture.width + x]);
    Pixmap pixmap = XCreatePixmap(display, parent, picture.width, picture.height, host.depth);
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image.get(), 0, 0, 0, 0, picture.width, picture.height);
    XFreeGC(display, gc);
    return pixmap;
}

} // namespace

struct PreviewX11Window::Connection {
    explicit Connection(X11Display connection) : display(std::move(connection)) {}
    // Closing the connection also destroys the windows and the pixmap made on it.
    X11Display display;
    // The host belongs to another program and may go at any moment; requests about it then fail
    // asynchronously, and Xlib's default handler would print and exit. Declared after the display so that
    // it is removed first, while the connection is still there to be synchronised.
    std::unique_ptr<X11ErrorTrap> trap;
    Window host = None;
    Window window = None;
    bool gone = false;
};

PreviewX11Window::PreviewX11Window(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

PreviewX11Window::~PreviewX11Window() = default;

std::unique_ptr<PreviewX11Window> PreviewX11Window::open(unsigned long host, const PreviewPicture& picture,
                                                         float twipsPerPixelX, float twipsPerPixelY) {
    if (host == 0) return nullptr;
    auto connection = X11Display::open();
    if (!connection) return nullptr;
    auto c = std::make_unique<Connection>(std::move(*connection));
    Display* display = c->display.get();
    c->trap = std::make_unique<X11ErrorTrap>(display);
    c->host = host;

    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, host, &attributes) || c->trap->failed() ||
        attributes.c_class != InputOutput)
        return nullptr;
    // Watched before anything else is made, so that a host that goes from here on is seen going.
    XSelectInput(display, host, StructureNotifyMask);

    const PreviewLayout layout =
        previewLayout(attributes.width, attributes.height, twipsPerPixelX, twipsPerPixelY);
    // X has no empty windows: a dimension of 0 gives a window that exists but is never mapped.
    const bool visible = layout.width > 0 && layout.height > 0;
    const unsigned long black = isDirectColour(attributes.visual)
                                    ? packPixel(formatOf(attributes.visual), 0, 0, 0)
                                    : BlackPixelOfScreen(attributes.screen);

    XSetWindowAttributes set{};
    set.background_pixel = black;
    set.border_pixel = black;
    set.event_mask = StructureNotifyMask;
    c->window = XCreateWindow(display, host, 0, 0, std::max(layout.width, 1), std::max(layout.height, 1), 0,
                              CopyFromParent, InputOutput, CopyFromParent,
                              CWBackPixel | CWBorderPixel | CWEventMask, &set);
    setTitle(display, c->window);

    // Img_Prev: the picture at its own size from the top-left, neither scaled nor repeated; beyond it the
    // window's black shows.
    if (Pixmap pixmap = makePicturePixmap(display, c->window, attributes, picture)) {
        XSetWindowAttributes image{};
        image.background_pixmap = pixmap;
        Window imagePrev =
            XCreateWindow(display, c->window, 0, 0, std::max(std::min(layout.width, picture.width), 1),
                          std::max(std::min(layout.height, picture.height), 1), 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWBackPixmap, &image);
        XFreePixmap(display, pixmap);
        XMapWindow(display, imagePrev);
    }
    if (visible) XMapWindow(display, c->window);

    // Any failure so far means the host vanished on the way (or refused a child): nothing to wait for.
    if (c->trap->failed()) return nullptr;
    return std::unique_ptr<PreviewX11Window>(new PreviewX11Window(std::move(c)));
}

int PreviewX11Window::connectionNumber() const {
    return ConnectionNumber(connection_->display.get());
}

bool PreviewX11Window::handleEvents() {
    Display* display = connection_->display.get();
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == DestroyNotify && (event.xdestroywindow.window == connection_->window ||
                                            event.xdestroywindow.window == connection_->host))
            connection_->gone = true;
    }
    return !connection_->gone;
}

} // namespace mirevo
