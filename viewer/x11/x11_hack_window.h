#pragma once
// The window a saver manager gives its hack, drawn into with GLX. The hack never maps, moves, resizes,
// raises or grabs it, nor takes the focus: it only listens for its size and its end. Unless the window's own
// visual has double-buffered GL without a depth buffer, the hack draws into a child window of its own that
// covers it.
#include <memory>
#include <optional>
#include <string>

#include "common/result.h"
#include "common/x11/x11_display.h"

struct _XDisplay;
struct __GLXcontextRec;

namespace mirevo::viewer {

class X11HackWindow {
public:
    struct OpenFailure {
        enum class Step {
            NoDisplay,
            NoWindow,   // no such window has ever been: a wrong id
            WindowGone, // the window was there and has gone already: the manager has ended the hack
            NoGl,
        } step;
        std::string why; // for the one line the hack prints
    };

    // First thing, before any connection: losing the server, at any moment and on any connection, ends the
    // process with code 0 and one line, as the manager that owned the window has gone with it.
    static void endWhenTheServerGoes();

    // Connects to $DISPLAY and makes a GL context current on the window.
    static Result<std::unique_ptr<X11HackWindow>, OpenFailure> open(unsigned long window);
    ~X11HackWindow();
    X11HackWindow(const X11HackWindow&) = delete;
    X11HackWindow& operator=(const X11HackWindow&) = delete;

    _XDisplay* display() const { return display_; }
    unsigned long target() const { return target_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The size of the screen the window is on.
    int screenWidth() const { return screenWidth_; }
    int screenHeight() const { return screenHeight_; }
    int visualId() const { return visualId_; }
    int depth() const { return depth_; }

    // Takes what the server has sent. False once the window has been destroyed; resized tells whether its
    // size changed.
    bool handleEvents(bool& resized);
    // Until the server sends something, alsoFd (when not -1) is readable, or timeoutMs passes.
    void waitForEvents(int timeoutMs, int alsoFd);
    void swap();
    // Made non-current and deleted; safe to call twice.
    void deleteContext();

private:
    X11HackWindow() = default;

    std::optional<X11Display> connection_;
    _XDisplay* display_ = nullptr; // connection_'s
    unsigned long target_ = 0;
    unsigned long drawable_ = 0; // the target, or the child made for GL
    unsigned long child_ = 0;
    unsigned long colormap_ = 0;
    __GLXcontextRec* context_ = nullptr;
    int width_ = 0, height_ = 0;
    int screenWidth_ = 0, screenHeight_ = 0;
    int visualId_ = 0, depth_ = 0;
};

} // namespace mirevo::viewer
