#pragma once
// The saver's desktop in a Wayland session: a file lock per compositor as the one lock, no window search (the
// lock alone tells a running session or dialog), no cursor of the whole screen to hide, no X window to show a
// preview in, and the settings dialog's offer to allow the desktop's picture where its portal would ask.
#include <optional>

#include "common/posix/file_lock.h"
#include "saver/saver_desktop.h"

namespace mirevo {

class WaylandSaverDesktop final : public SaverDesktop {
public:
    bool takeInstanceLock() override;
    bool windowExists(const std::string&) override { return false; }
    // A Wayland client may not raise another's window: the dialog already open stays where it is.
    void bringToFront(const std::string&) override {}
    void hideCursor() override {}
    bool showPreview(int32_t hostHandle) override;
    std::unique_ptr<SessionDesktop> sessionDesktop() override;
    std::unique_ptr<DesktopPictureConsent> desktopPictureConsent() override;

private:
    std::optional<FileLock> lock_;
};

} // namespace mirevo
