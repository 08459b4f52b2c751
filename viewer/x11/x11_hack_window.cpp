#include "viewer/x11/x11_hack_window.h"

#include <algorithm>
#include <cerrno>

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

namespace mirevo::viewer {

namespace {

int serverLost(Display*) {
    // Xlib ends the process when this returns; the code is ours to choose first.
    _exit(0);
}

struct VisualInfoDeleter {
    void operator()(XVisualInfo* info) const { XFree(info); }
};
using VisualInfoPtr = std::unique_ptr<XVisualInfo, VisualInfoDeleter>;

VisualInfoPtr visualOf(Display* display, Visual* visual) {
    XVisualInfo wanted{};
    wanted.visualid = XVisualIDFromVisual(visual);
    int count = 0;
    return VisualInfoPtr(XGetVisualInfo(display, VisualIDMask, &wanted, &count));
}

bool drawsDoubleBufferedGl(Display* display, XVisualInfo* info) {
    int gl = 0, doubleBuffered = 0, rgba = 0;
    return info && glXGetConfig(display, info, GLX_USE_GL, &gl) == 0 && gl &&
           glXGetConfig(display, info, GLX_RGBA, &rgba) == 0 && rgba &&
           glXGetConfig(display, info, GLX_DOUBLEBUFFER, &doubleBuffered) == 0 && doubleBuffered;
}

VisualInfoPtr chooseGlVisual(Display* display, int screen) {
    int withDepth[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, 16, None};
    int plain[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
    XVisualInfo* info = glXChooseVisual(display, screen, withDepth);
    if (!info) info = glXChooseVisual(display, screen, plain);
    return VisualInfoPtr(info);
}

} // namespace

Result<std::unique_ptr<X11HackWindow>, X11HackWindow::OpenFailure>
X11HackWindow::open(unsigned long window) {
    using Step = OpenFailure::Step;
    // X protocol errors do not end the hack with Xlib's exit code 1 (the manager's window may go at any
    // moment): the connection comes with the handler that never ends the process.
    auto connection = X11Display::open();
    if (!connection) {
        return Failure(OpenFailure{Step::NoDisplay, connection.reason()});
    }
    std::unique_ptr<X11HackWindow> self(new X11HackWindow());
    self->connection_.emplace(std::move(*connection));
    self->display_ = self->connection_->get();
    XSetIOErrorHandler(serverLost);
    Display* display = self->display_;
    self->target_ = window;
    // Its size and its end, nothing else: the keys and the mouse are the manager's.
    XSelectInput(display, window, StructureNotifyMask);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) {
        return Failure(OpenFailure{Step::NoWindow, "no window " + std::to_string(window) + " on the display"});
    }
    self->width_ = attributes.width;
    self->height_ = attributes.height;
    self->screenWidth_ = WidthOfScreen(attributes.screen);
    self->screenHeight_ = HeightOfScreen(attributes.screen);
    self->drawable_ = window;
    VisualInfoPtr visual = visualOf(display, attributes.visual);
    if (!drawsDoubleBufferedGl(display, visual.get())) {
        visual = chooseGlVisual(display, XScreenNumberOfScreen(attributes.screen));
        if (!visual) {
            return Failure(OpenFailure{Step::NoGl, "the display offers no double-buffered OpenGL visual"});
        }
        XSetWindowAttributes set{};
        self->colormap_ = XCreateColormap(display, window, visual->visual, AllocNone);
        set.colormap = self->colormap_;
        set.border_pixel = 0;
        set.background_pixel = BlackPixelOfScreen(attributes.screen);
        self->child_ = XCreateWindow(display, window, 0, 0, std::max(attributes.width, 1),
                                     std::max(attributes.height, 1), 0, visual->depth, InputOutput,
                                     visual->visual, CWColormap | CWBorderPixel | CWBackPixel, &set);
        XMapWindow(display, self->child_);
        self->drawable_ = self->child_;
    }
    self->visualId_ = static_cast<int>(visual->visualid);
    self->depth_ = visual->depth;
    self->context_ = glXCreateContext(display, visual.get(), nullptr, True);
    if (!self->context_) self->context_ = glXCreateContext(display, visual.get(), nullptr, False);
    if (!self->context_ || !glXMakeCurrent(display, self->drawable_, self->context_)) {
        return Failure(OpenFailure{Step::NoGl, "cannot make an OpenGL context on the window"});
    }
    return self;
}

X11HackWindow::~X11HackWindow() {
    if (!display_) return;
    deleteContext();
    if (child_) XDestroyWindow(display_, child_);
    if (colormap_) XFreeColormap(display_, colormap_);
}

bool X11HackWindow::handleEvents(bool& resized) {
    resized = false;
    bool alive = true;
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == DestroyNotify && event.xdestroywindow.window == target_) alive = false;
        if (event.type == ConfigureNotify && event.xconfigure.window == target_ &&
            (event.xconfigure.width != width_ || event.xconfigure.height != height_)) {
            width_ = event.xconfigure.width;
            height_ = event.xconfigure.height;
            resized = true;
            if (child_) XResizeWindow(display_, child_, std::max(width_, 1), std::max(height_, 1));
        }
    }
    return alive;
}

void X11HackWindow::waitForEvents(int timeoutMs, int alsoFd) {
    XFlush(display_);
    if (XPending(display_) || timeoutMs <= 0) return;
    // poll ignores an entry of fd -1.
    pollfd watched[] = {{ConnectionNumber(display_), POLLIN, 0}, {alsoFd, POLLIN, 0}};
    ::poll(watched, 2, timeoutMs);
}

void X11HackWindow::swap() {
    glXSwapBuffers(display_, drawable_);
}

void X11HackWindow::deleteContext() {
    if (!context_) return;
    glXMakeCurrent(display_, None, nullptr);
    glXDestroyContext(display_, context_);
    context_ = nullptr;
}

} // namespace mirevo::viewer
