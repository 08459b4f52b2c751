#include "viewer/x11/x11_keyboard_focus.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "common/x11/x11_active_window.h"
#include "common/x11/x11_display.h"

namespace mirevo::viewer {

namespace {

// A timestamp from the server: the time of an empty change to a property of our own window. Window managers
// judge a request for the focus by it; CurrentTime when the change could not be seen.
Time serverTime(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) return CurrentTime;
    if (!(attributes.your_event_mask & PropertyChangeMask))
        XSelectInput(display, window, attributes.your_event_mask | PropertyChangeMask);
    Atom stamp = XInternAtom(display, "_MIREVO_TIMESTAMP", False);
    unsigned char nothing = 0;
    XChangeProperty(display, window, stamp, stamp, 8, PropModeAppend, &nothing, 0);
    // The notification is queued before the reply that ends the round trip.
    XSync(display, False);
    struct Wanted {
        Window window;
        Atom atom;
    } wanted{window, stamp};
    auto matches = [](Display*, XEvent* event, XPointer arg) -> Bool {
        const auto* w = reinterpret_cast<const Wanted*>(arg);
        return event->type == PropertyNotify && event->xproperty.window == w->window &&
               event->xproperty.atom == w->atom;
    };
    XEvent event;
    if (XCheckIfEvent(display, &event, matches, reinterpret_cast<XPointer>(&wanted)))
        return event.xproperty.time;
    return CurrentTime;
}


} // namespace

int keyCodeOfKeysym(unsigned long keysym) {
    if (keysym == XK_Escape) return KeyState::kEscape;
    if (keysym >= 0x20 && keysym <= 0xFF) return static_cast<int>(keysym);
    return -1;
}

X11KeyboardFocus::X11KeyboardFocus(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    display_ = info.info.x11.display;
    window_ = info.info.x11.window;
    const Time time = serverTime(display_, window_);
    x11AskToActivate(display_, window_, ActivationSource::Application, time);
    XRaiseWindow(display_, window_);
    // The server refuses the focus for a window that is not viewable (the error is ignored, not fatal).
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, window_, &attributes) && attributes.map_state == IsViewable)
        XSetInputFocus(display_, window_, RevertToParent, time);
    XFlush(display_);
    auto grabbing = X11Display::openAnother(display_);
    if (!grabbing) return;
    grabbingConnection_.emplace(std::move(*grabbing));
    grabbing_ = grabbingConnection_->get();
    // The end of the grab (the window unmapped by someone) shows as a focus change with mode NotifyUngrab.
    XSelectInput(grabbing_, window_, FocusChangeMask);
    tryGrab(time);
}

X11KeyboardFocus::~X11KeyboardFocus() {
    if (!grabbing_) return;
    XUngrabKeyboard(grabbing_, CurrentTime);
}

void X11KeyboardFocus::poll(KeyState& keys) {
    if (!grabbing_) return;
    if (!grabbed_ && !lettingGo_) tryGrab(CurrentTime);
    while (XPending(grabbing_) > 0) {
        XEvent event;
        XNextEvent(grabbing_, &event);
        if (event.type == KeyPress || event.type == KeyRelease) {
            const int code = keyCodeOfKeysym(XLookupKeysym(&event.xkey, 0));
            if (event.type == KeyPress)
                keys.press(code);
            else
                keys.release(code);
        }
        if ((event.type == FocusIn || event.type == FocusOut) && event.xfocus.mode == NotifyUngrab)
            grabbed_ = false;
    }
}

void X11KeyboardFocus::letGo() {
    if (!grabbing_ || lettingGo_) return;
    lettingGo_ = true;
    grabbed_ = false;
    XUngrabKeyboard(grabbing_, CurrentTime);
    XFlush(grabbing_);
}

void X11KeyboardFocus::tryGrab(unsigned long time) {
    // Every key comes to this window, wherever the focus is, until the viewer ends.
    grabbed_ = XGrabKeyboard(grabbing_, window_, False, GrabModeAsync, GrabModeAsync, time) == GrabSuccess;
    XFlush(grabbing_);
}

} // namespace mirevo::viewer
