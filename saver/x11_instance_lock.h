#pragma once
// One saver at a time on each screen of an X display, whatever folders or environment each was started
// with: a session and the settings dialog own the screen's selection "_MIREVO_S<screen number>" for as long
// as they live. The test for an owner and the claim happen while the server listens to no one else, so of
// any number of starts at the same instant exactly one gets it; the server drops it with the process's
// connection.
#include <string>

typedef struct _XDisplay Display;

namespace mirevo {

class X11InstanceLock {
public:
    enum class State {
        Taken,         // ours now, for as long as the lock lives
        HeldElsewhere, // another session or dialog runs: this start ends at once
        Unavailable,   // the server refused: the title test alone decides
    };

    // Claims the selection of the display's default screen without waiting. display outlives the lock.
    explicit X11InstanceLock(Display* display);
    ~X11InstanceLock();
    X11InstanceLock(const X11InstanceLock&) = delete;
    X11InstanceLock& operator=(const X11InstanceLock&) = delete;

    State state() const { return state_; }

private:
    Display* display_;
    unsigned long owner_ = 0; // the unmapped window that owns the selection
    State state_ = State::Unavailable;
};

// The selection's name for a screen.
std::string instanceSelectionName(int screen);

// Brings a top-level window to the front as a taskbar would: un-minimised, raised and focused. Under a window
// manager it is asked to (_NET_ACTIVE_WINDOW from a pager, which it does not second-guess); without one the
// window is mapped, raised and given the focus directly.
void x11BringToFront(Display* display, unsigned long window);

} // namespace mirevo
