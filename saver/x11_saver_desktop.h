#pragma once
// The saver's desktop on X11: the screen's selection as the lock, the window search, XFixes' cursor, the
// preview inside its X host window.
#include <memory>

#include "saver/saver_desktop.h"
#include "saver/x11_instance_lock.h"

typedef struct _XDisplay Display;

namespace mirevo {

class X11SaverDesktop final : public SaverDesktop {
public:
    // display outlives the desktop and everything it makes.
    explicit X11SaverDesktop(Display* display) : display_(display) {}
    bool takeInstanceLock() override;
    bool windowExists(const std::string& title) override;
    void bringToFront(const std::string& title) override;
    void hideCursor() override;
    bool showPreview(int32_t hostHandle) override;
    std::unique_ptr<SessionDesktop> sessionDesktop() override;

private:
    Display* display_;
    std::unique_ptr<X11InstanceLock> lock_;
};

} // namespace mirevo
