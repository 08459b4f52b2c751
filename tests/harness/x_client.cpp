#include "tests/harness/x_client.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "common/x11/x11_window_search.h"
#include "tests/harness/poll.h"

namespace mirevo::test {

namespace {
struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};
using ImagePtr = std::unique_ptr<XImage, ImageDeleter>;
} // namespace

int colourDistance(std::array<uint8_t, 3> a, std::array<uint8_t, 3> b) {
    int d = 0;
    for (int i = 0; i < 3; ++i)
        d = std::max(d, std::abs(int(a[i]) - int(b[i])));
    return d;
}

XClient::XClient(const std::string& display) {
    display_ = XOpenDisplay(display.c_str());
}

XClient::~XClient() {
    if (display_) XCloseDisplay(display_);
}

unsigned long XClient::root() const {
    return DefaultRootWindow(display_);
}

unsigned long XClient::findWindow(const std::string& title) {
    return x11FindWindow(display_, title);
}

unsigned long XClient::waitForWindow(const std::string& title, std::chrono::milliseconds deadline) {
    unsigned long window = 0;
    pollUntil(deadline, [&] { return (window = findWindow(title)) != 0; });
    return window;
}

bool XClient::waitForNoWindow(const std::string& title, std::chrono::milliseconds deadline) {
    return pollUntil(deadline, [&] { return findWindow(title) == 0; });
}

namespace {
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}
} // namespace

std::optional<Geometry> XClient::geometry(unsigned long window) {
    auto previous = XSetErrorHandler(ignoreErrors);
    XWindowAttributes a{};
    bool ok = XGetWindowAttributes(display_, window, &a) != 0;
    Window child = 0;
    int x = 0, y = 0;
    if (ok) ok = XTranslateCoordinates(display_, window, root(), 0, 0, &x, &y, &child) != 0;
    XSync(display_, False);
    XSetErrorHandler(previous);
    if (!ok) return std::nullopt;
    return Geometry{x, y, a.width, a.height};
}

bool XClient::mapped(unsigned long window) {
    auto previous = XSetErrorHandler(ignoreErrors);
    XWindowAttributes a{};
    bool ok = XGetWindowAttributes(display_, window, &a) != 0;
    XSync(display_, False);
    XSetErrorHandler(previous);
    return ok && a.map_state == IsViewable;
}

std::optional<Image> XClient::screenshot(unsigned long window) {
    auto g = geometry(window);
    if (!g) return std::nullopt;
    // Read from the root so that what is on the screen (not the window's own contents) is taken.
    XImage* raw = XGetImage(display_, root(), g->x, g->y, g->width, g->height, AllPlanes, ZPixmap);
    if (!raw) return std::nullopt;
    ImagePtr image(raw);
    Image out{g->width, g->height, std::vector<uint8_t>(size_t(g->width) * g->height * 3)};
    for (int y = 0; y < g->height; ++y)
        for (int x = 0; x < g->width; ++x) {
            unsigned long p = XGetPixel(image.get(), x, y);
            out.set(x, y, {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
        }
    return out;
}

void XClient::setRootPicture(const Image& picture) {
    int screen = DefaultScreen(display_);
    Pixmap pixmap =
        XCreatePixmap(display_, root(), picture.width, picture.height, DefaultDepth(display_, screen));
    XImage* raw = XCreateImage(display_, DefaultVisual(display_, screen), DefaultDepth(display_, screen),
                               ZPixmap, 0, nullptr, picture.width, picture.height, 32, 0);
    raw->data = static_cast<char*>(std::malloc(size_t(raw->bytes_per_line) * picture.height));
    ImagePtr image(raw);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            auto c = picture.at(x, y);
            XPutPixel(image.get(), x, y, (unsigned long)c[0] << 16 | (unsigned long)c[1] << 8 | c[2]);
        }
    GC gc = XCreateGC(display_, pixmap, 0, nullptr);
    XPutImage(display_, pixmap, gc, image.get(), 0, 0, 0, 0, picture.width, picture.height);
    XFreeGC(display_, gc);
    XSetWindowBackgroundPixmap(display_, root(), pixmap);
    XClearWindow(display_, root());
    XFreePixmap(display_, pixmap);
    XSync(display_, False);
}

void XClient::sendKey(const std::string& keysymName) {
    KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysymName.c_str()));
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XSync(display_, False);
}

void XClient::focus(unsigned long window) {
    auto previous = XSetErrorHandler(ignoreErrors);
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
    XSetErrorHandler(previous);
}

void XClient::click(int x, int y, int button) {
    movePointer(x, y);
    pressButton(button);
    releaseButton(button);
}

void XClient::movePointer(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XSync(display_, False);
}

void XClient::pressButton(int button) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    XSync(display_, False);
}

void XClient::releaseButton(int button) {
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    XSync(display_, False);
}

void XClient::sync() {
    XSync(display_, False);
}

} // namespace mirevo::test
