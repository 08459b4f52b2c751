#pragma once
// The session's desktop on X11: the hidden window titled "Tovik_S" that marks a running session, the primary
// monitor's pixels, the window search and the cursor.
#include "saver/session/session_desktop.h"
#include "saver/session/x11_hidden_window.h"

typedef struct _XDisplay Display;

namespace mirevo {

class X11SessionDesktop final : public SessionDesktop {
public:
    // display outlives the desktop.
    explicit X11SessionDesktop(Display* display);
    std::unique_ptr<RowSource> grabScreen() override;
    bool windowExists(const std::string& title) override;
    void showCursor() override;

private:
    Display* display_;
    X11HiddenWindow window_;
};

} // namespace mirevo
