#pragma once
// A top-level window that is never mapped but carries a title, so that other programs' window search finds
// it: the mark of a running session.
#include <string>

typedef struct _XDisplay Display;

namespace mirevo {

class X11HiddenWindow {
public:
    X11HiddenWindow(Display* display, const std::string& title);
    ~X11HiddenWindow();
    X11HiddenWindow(const X11HiddenWindow&) = delete;
    X11HiddenWindow& operator=(const X11HiddenWindow&) = delete;

    unsigned long id() const { return window_; }

private:
    Display* display_;
    unsigned long window_ = 0;
};

} // namespace mirevo
