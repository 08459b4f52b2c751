#include "viewer/x11/x11_hack_window.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <poll.h>
#include <unistd.h>

namespace mirevo::viewer {

namespace {

// Written with write(), not the log: Xlib calls this from whichever thread found the server gone, and stdio's
// lock may be held by the other when it ends the process.
constexpr char kServerLost[] = "mirevo-hack: lost the X server\n";
std::atomic<bool> ending{false};
// The window's connection, on which the GL library talks to the server too.
std::atomic<int> glConnection{-1};

[[noreturn]] void endForLostServer() {
    // Both threads may find the server gone at once: the first says so and ends the process.
    if (ending.exchange(true))
        for (;;) pause();
    const ssize_t written = write(STDERR_FILENO, kServerLost, sizeof kServerLost - 1);
    static_cast<void>(written);
    _exit(0);
}

int serverLost(Display*) {
    // Xlib ends the process when this returns; the code and the line are ours to choose first.
    endForLostServer();
}

bool hungUp(int fd) {
    pollfd connection{fd, POLLRDHUP, 0};
    return fd >= 0 && ::poll(&connection, 1, 0) == 1 && (connection.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

// The GL library reads the server's replies behind Xlib's back, and some of its calls crash on the replies a
// lost server no longer gives (before Xlib has noticed anything): that crash is the server's end. Any other
// is a fault of ours: the handler has been reset, and the fault comes again with its default action.
void onCrash(int) {
    if (hungUp(glConnection.load())) endForLostServer();
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

// The hack draws one quad back to front and needs no depth, stencil, accumulation or multisample buffer: a
// software GL would clear (and fault in) each at the window's size before the first frame, and keep it for
// hours.
bool drawsDoubleBufferedGlAlone(Display* display, XVisualInfo* info) {
    if (!drawsDoubleBufferedGl(display, info)) return false;
    for (int attribute : {GLX_DEPTH_SIZE, GLX_STENCIL_SIZE, GLX_ACCUM_RED_SIZE, GLX_AUX_BUFFERS, GLX_STEREO,
                          GLX_SAMPLE_BUFFERS}) {
        // An attribute this GLX does not know (multisampling before 1.4) leaves the value at 0: absent.
        int value = 0;
        glXGetConfig(display, info, attribute, &value);
        if (value != 0) return false;
    }
    return true;
}

// A true-colour visual of the window's depth with nothing but double-buffered colour, else what GLX
// offers. GLX's own choice is not used first: asked for no depth buffer it may still rank one with it higher.
VisualInfoPtr chooseGlVisual(Display* display, int screen, int depth) {
    XVisualInfo wanted{};
    wanted.screen = screen;
    wanted.depth = depth;
    wanted.c_class = TrueColor;
    int count = 0;
    std::unique_ptr<XVisualInfo[], VisualInfoDeleter> all(
        XGetVisualInfo(display, VisualScreenMask | VisualDepthMask | VisualClassMask, &wanted, &count));
    for (int i = 0; all && i < count; ++i)
        if (drawsDoubleBufferedGlAlone(display, &all[i])) return visualOf(display, all[i].visual);
    int plain[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
    return VisualInfoPtr(glXChooseVisual(display, screen, plain));
}

// Whether a client still connected owns the id's range: a window of such a client that cannot be found has
// existed and gone (the manager ended the hack at once); one in nobody's range never existed.
bool aLiveClientsId(Display* display, unsigned long id) {
    int eventBase = 0, errorBase = 0, count = 0;
    XResClient* clients = nullptr;
    if (!XResQueryExtension(display, &eventBase, &errorBase) || !XResQueryClients(display, &count, &clients))
        return false;
    bool owned = false;
    for (int i = 0; i < count && !owned; ++i)
        owned = (id & ~clients[i].resource_mask) == clients[i].resource_base;
    if (clients) XFree(clients);
    return owned;
}

} // namespace

void X11HackWindow::endWhenTheServerGoes() {
    XSetIOErrorHandler(serverLost);
    // A write to a lost server fails (and Xlib calls the handler) instead of killing the process.
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = onCrash;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (int signal : {SIGSEGV, SIGBUS})
        sigaction(signal, &action, nullptr);
}

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
    Display* display = self->display_;
    glConnection = ConnectionNumber(display);
    self->target_ = window;
    // Its size and its end, nothing else: the keys and the mouse are the manager's.
    XSelectInput(display, window, StructureNotifyMask);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) {
        if (aLiveClientsId(display, window)) return Failure(OpenFailure{Step::WindowGone, "the window has gone"});
        return Failure(OpenFailure{Step::NoWindow, "no window " + std::to_string(window) + " on the display"});
    }
    self->width_ = attributes.width;
    self->height_ = attributes.height;
    self->screenWidth_ = WidthOfScreen(attributes.screen);
    self->screenHeight_ = HeightOfScreen(attributes.screen);
    self->drawable_ = window;
    VisualInfoPtr visual = visualOf(display, attributes.visual);
    VisualInfoPtr chosen;
    if (!drawsDoubleBufferedGlAlone(display, visual.get()))
        chosen = chooseGlVisual(display, XScreenNumberOfScreen(attributes.screen), attributes.depth);
    if (chosen && visual && chosen->visualid == visual->visualid) chosen.reset();
    if (!chosen && !drawsDoubleBufferedGl(display, visual.get())) {
        XSync(display, False);
        return Failure(OpenFailure{Step::NoGl, "the display offers no double-buffered OpenGL visual"});
    }
    if (chosen) {
        visual = std::move(chosen);
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
        // A server lost meanwhile is noticed here, and ends the hack as such.
        XSync(display, False);
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
