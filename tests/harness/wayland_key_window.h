#pragma once
// A client window that says whether it holds the keyboard and which keys reach it: an xdg toplevel showing a
// small solid buffer, as any application's window under a screen saver.
#include <memory>
#include <string>

namespace mirevo::test {

class WaylandKeyWindow {
public:
    // Connects to the compositor at socket (a path); shown() once the window is mapped.
    explicit WaylandKeyWindow(const std::string& socket);
    ~WaylandKeyWindow();
    WaylandKeyWindow(const WaylandKeyWindow&) = delete;
    WaylandKeyWindow& operator=(const WaylandKeyWindow&) = delete;

    bool shown() const { return shown_; }
    // After reading all the compositor has sent so far: is the keyboard's focus on this window?
    bool holdsKeyboard();
    // Key presses that reached this window so far.
    int keysPressed();

    struct Parts;

private:
    std::unique_ptr<Parts> parts_;
    bool shown_ = false;
};

} // namespace mirevo::test
