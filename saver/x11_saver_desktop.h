#pragma once
// The saver's desktop on X11: the screen's selection as the lock, the window search, XFixes' cursor, the
// preview inside its X host window, the primary monitor's pixels as the desktop's picture, and the hidden
// window titled "Tovik_Main" that marks a running session.
#include <memory>
#include <optional>

#include "saver/saver_desktop.h"
#include "saver/session/x11_hidden_window.h"
#include "saver/x11_instance_lock.h"

typedef struct _XDisplay Display;

namespace mirevo {

class X11SaverDesktop final : public SaverDesktop {
public:
    // display and state outlive the desktop.
    X11SaverDesktop(Display* display, ProgramState& state) : SaverDesktop(state), display_(display) {}
    ~X11SaverDesktop() override { endSession(); }

    bool takeInstanceLock() override;
    bool windowExists(const std::string& title) override;
    void bringToFront(const std::string& title) override;
    void hideCursor() override;
    void showCursor() override;
    bool showPreview(int32_t hostHandle) override;
    std::unique_ptr<RowSource> grabScreen() override;

protected:
    void markRunningSession() override;

private:
    Display* display_;
    std::unique_ptr<X11InstanceLock> lock_;
    std::optional<X11HiddenWindow> sessionWindow_;
};

} // namespace mirevo
