#pragma once
// The keyboard for the viewer, whatever other windows appear or take the focus while it runs: once the window
// is mapped it asks for the focus as EWMH clients do, raises itself and sets the focus itself where the
// server allows; and it holds a keyboard grab on its window for the whole run, as screen savers on X do. The
// grab is made on a connection of its own, so that SDL, which gives the keyboard back whenever its window
// gains or loses the focus, cannot drop it; keys then come on that connection. While another program holds
// the keyboard the grab is tried again at every frame. The pointer stays free. No failure here is fatal.
#include <optional>

#include "common/x11/x11_display.h"
#include "viewer/scene/key_state.h"

struct SDL_Window;
struct _XDisplay;

namespace mirevo::viewer {

// The key state's code for an X key symbol: Escape and the Latin-1 keys as SDL numbers them; -1 for others.
int keyCodeOfKeysym(unsigned long keysym);

class X11KeyboardFocus {
public:
    // Call once the window is mapped; does nothing for a window that is not on X.
    explicit X11KeyboardFocus(SDL_Window* window);
    // Gives the keyboard back (call while SDL's display is still open).
    ~X11KeyboardFocus();
    X11KeyboardFocus(const X11KeyboardFocus&) = delete;
    X11KeyboardFocus& operator=(const X11KeyboardFocus&) = delete;

    // Once a frame: takes the keyboard when it is not held, and passes the keys the grab brought on.
    void poll(KeyState& keys);
    bool grabbed() const { return grabbed_; }
    // Gives the keyboard back for good, so that a screen locker can take it; keys still come through SDL.
    void letGo();

private:
    void tryGrab(unsigned long time);

    _XDisplay* display_ = nullptr;                 // SDL's
    std::optional<X11Display> grabbingConnection_; // ours, for the grab and its keys
    _XDisplay* grabbing_ = nullptr;                // grabbingConnection_'s
    unsigned long window_ = 0;
    bool grabbed_ = false, lettingGo_ = false;
};

} // namespace mirevo::viewer
