#include "idle/sources/x11_idle_source.h"

#include <cstdlib>

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>

#include "common/x11/x11_display.h"
#include "common/x11/x11_error_trap.h"

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

namespace mirevo {

Result<std::unique_ptr<X11IdleSource>, std::string> X11IdleSource::open() {
    auto connection = X11Display::open();
    if (!connection) {
        const bool unset = !std::getenv("DISPLAY") || !*std::getenv("DISPLAY");
        return Failure(connection.reason() +
                       (unset ? "; it watches an X11 or XWayland session" : ""));
    }
    Display* display = connection->get();
    const std::string name = DisplayString(display);

    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    // Suspending the timer came with version 1.1.
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase) ||
        !XScreenSaverQueryVersion(display, &major, &minor) || major < 1 || (major == 1 && minor < 1))
        return Failure("the X server of \"" + name +
                       "\" has no XScreenSaver extension (MIT-SCREEN-SAVER 1.1), which mirevo-idle needs");
    const Window root = DefaultRootWindow(display);
    bool refused = false;
    {
        X11ErrorTrap trap(display);
        XSetWindowAttributes none{};
        XScreenSaverSetAttributes(display, root, 0, 0, 1, 1, 0, CopyFromParent, InputOnly, nullptr, 0, &none);
        refused = trap.failed();
    }
    if (refused)
        return Failure("another program already runs the screen saver of \"" + name +
                       "\" (is mirevo-idle running already?)");
    XScreenSaverSelectInput(display, root, ScreenSaverNotifyMask);
    XFlush(display);
    return std::unique_ptr<X11IdleSource>(new X11IdleSource(std::move(*connection), eventBase));
}

namespace {
constexpr const char* kLostLine = "lost the connection to the X server";

// Xlib's own handler prints its message and exits; this one leaves both to connectionLost.
int quietIOError(Display*) {
    return 0;
}
} // namespace

X11IdleSource::X11IdleSource(X11Display connection, int eventBase)
    : connection_(std::move(connection)), display_(connection_.get()), eventBase_(eventBase) {
    XSetIOErrorHandler(quietIOError);
    XSetIOErrorExitHandler(display_, connectionLost, this);
}

// Notices the server sent since the source opened wait in Xlib's queue or the socket, and are read from now
// on.
void X11IdleSource::start(IdleSourceEvents events) {
    events_ = std::move(events);
    if (lost_) {
        if (events_.lost) events_.lost(kLostLine);
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    // Xlib may read events off the socket while it waits for a reply; they are handled before the loop
    // sleeps, or they would wait for the next byte from the server.
    QObject::connect(QAbstractEventDispatcher::instance(QThread::currentThread()),
                     &QAbstractEventDispatcher::aboutToBlock, notifier_.get(), [this] {
                         if (!lost_ && QLength(display_) > 0) readEvents();
                     });
}

X11IdleSource::~X11IdleSource() {
    events_ = {};
    notifier_.reset();
    if (!lost_) {
        XScreenSaverUnsetAttributes(display_, DefaultRootWindow(display_));
        XSync(display_, False);
    }
}

// Xlib calls this when the server has gone; returning (rather than exiting, Xlib's default) leaves the
// connection dead but the program free to end in its own way.
void X11IdleSource::connectionLost(Display*, void* self) {
    auto* source = static_cast<X11IdleSource*>(self);
    if (source->lost_) return;
    source->lost_ = true;
    if (source->notifier_) source->notifier_->setEnabled(false); // the socket stays readable at its end
    if (source->events_.lost) source->events_.lost(kLostLine);
}

void X11IdleSource::readEvents() {
    while (!lost_ && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type != eventBase_ + ScreenSaverNotify) continue;
        const auto& notice = reinterpret_cast<const XScreenSaverNotifyEvent&>(event);
        // Cycle notices (the server's periodic "change the picture") do not concern a single session.
        if (notice.state == ScreenSaverOn && events_.saverOn) events_.saverOn();
        if (notice.state == ScreenSaverOff && events_.saverOff) events_.saverOff();
    }
}

int X11IdleSource::timeoutSeconds() {
    int timeout = 0, interval = 0, preferBlanking = 0, allowExposures = 0;
    if (!lost_) XGetScreenSaver(display_, &timeout, &interval, &preferBlanking, &allowExposures);
    return timeout;
}

void X11IdleSource::setTimeoutSeconds(int seconds) {
    if (lost_) return;
    int timeout = 0, interval = 0, preferBlanking = 0, allowExposures = 0;
    XGetScreenSaver(display_, &timeout, &interval, &preferBlanking, &allowExposures);
    XSetScreenSaver(display_, seconds, interval, preferBlanking, allowExposures);
    XFlush(display_);
}

void X11IdleSource::suspend(bool suspended) {
    if (lost_) return;
    XScreenSaverSuspend(display_, suspended ? True : False);
    XFlush(display_);
}

void X11IdleSource::resetIdleTimer() {
    if (lost_) return;
    XResetScreenSaver(display_);
    XFlush(display_);
}

} // namespace mirevo
