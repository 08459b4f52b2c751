#pragma once
// The keyboard for the viewer, also under a window manager that keeps the focus in the window the user was
// typing in: once the window is mapped it asks for the focus as EWMH clients do, raises itself, sets the
// focus itself where the server allows, and grabs the keyboard for as long as it runs. A grab that fails is
// tried again a few times (GrabRetry); no failure here is fatal.
#include "viewer/grab_retry.h"

struct SDL_Window;
struct _XDisplay;

namespace mirevo::viewer {

class X11KeyboardFocus {
public:
    // Call once the window is mapped; does nothing for a window that is not on X.
    X11KeyboardFocus(SDL_Window* window, double nowSeconds);
    // Gives the keyboard back (call while the display is still open).
    ~X11KeyboardFocus();
    X11KeyboardFocus(const X11KeyboardFocus&) = delete;
    X11KeyboardFocus& operator=(const X11KeyboardFocus&) = delete;

    // Tries the grab again when it is due; cheap when there is nothing to do.
    void retry(double nowSeconds);
    bool grabbed() const { return grabbed_; }

private:
    void tryGrab(unsigned long time, double nowSeconds);

    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    GrabRetry retry_;
    bool grabbed_ = false;
};

} // namespace mirevo::viewer
