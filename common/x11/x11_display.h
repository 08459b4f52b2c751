#pragma once
// The saver's own connection to the X server, open for the whole process: the hidden session window, the
// window search, the screen grab and the cursor all go through it. Hiding the cursor lasts only while the
// connection that hid it lives, so it must outlive the session.
#include <memory>
#include <string>

typedef struct _XDisplay Display;

namespace mirevo {

class X11Display {
public:
    // The display named by DISPLAY; nothing when it is unset or cannot be reached.
    static std::unique_ptr<X11Display> open();
    ~X11Display();
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    Display* get() const { return display_; }

private:
    explicit X11Display(Display* display) : display_(display) {}
    Display* display_;
};

// Why there is no display, for the one line the program prints before it ends.
std::string noDisplayReason();

} // namespace mirevo
