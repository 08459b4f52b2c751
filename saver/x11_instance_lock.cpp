#include "saver/x11_instance_lock.h"

#include <memory>

#include <X11/Xatom.h>

#include "common/x11/x11_active_window.h"
#include "common/x11/x11_error_trap.h"
#include "common/x11/x11_properties.h"

namespace mirevo {
namespace {

bool windowManagerRuns(Display* display, Window root) {
    return x11LongList(display, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).size() == 1;
}

} // namespace

std::string instanceSelectionName(int screen) {
    return "_MIREVO_S" + std::to_string(screen);
}

X11InstanceLock::X11InstanceLock(Display* display) : display_(display) {
    if (!display_) return;
    X11ErrorTrap trap(display_);
    const int screen = DefaultScreen(display_);
    const Atom selection = XInternAtom(display_, instanceSelectionName(screen).c_str(), False);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    owner_ = XCreateWindow(display_, RootWindow(display_, screen), -1, -1, 1, 1, 0, 0, InputOnly,
                           CopyFromParent, CWOverrideRedirect, &attributes);
    // Setting an owner always succeeds, even over another: only with the server held is "none yet, so mine"
    // one step.
    XGrabServer(display_);
    if (XGetSelectionOwner(display_, selection) == None)
        XSetSelectionOwner(display_, selection, owner_, CurrentTime);
    const Window owner = XGetSelectionOwner(display_, selection);
    XUngrabServer(display_);
    if (trap.failed()) {
        state_ = State::Unavailable;
        return;
    }
    state_ = owner == owner_ ? State::Taken : State::HeldElsewhere;
}

X11InstanceLock::~X11InstanceLock() {
    if (!display_ || !owner_) return;
    X11ErrorTrap trap(display_);
    // The selection goes with its owner window.
    XDestroyWindow(display_, owner_);
    XFlush(display_);
}

void x11BringToFront(Display* display, unsigned long window) {
    if (!display || !window) return;
    X11ErrorTrap trap(display); // it may be gone by now
    const Window root = DefaultRootWindow(display);
    if (windowManagerRuns(display, root)) {
        x11AskToActivate(display, window, ActivationSource::Pager);
    } else {
        XMapRaised(display, window);
        XSync(display, False);
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
            XSetInputFocus(display, window, RevertToParent, CurrentTime);
    }
    trap.failed(); // waits for the server, so the request is out before the program ends
}

} // namespace mirevo
