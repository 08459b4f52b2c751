#include "saver/wayland_saver_desktop.h"

#include <cstdio>

#include "saver/session/qt_screenshot_services.h"
#include "saver/session/wayland_screencopy.h"
#include "saver/session/wayland_session_desktop.h"
#include "saver/wayland_instance_lock.h"

namespace mirevo {

bool WaylandSaverDesktop::takeInstanceLock() {
    // There is no window search to fall back on: without the lock, no start.
    lock_.emplace(takeWaylandInstanceLock([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }));
    return lock_->state() == FileLockState::Taken;
}

bool WaylandSaverDesktop::showPreview(int32_t) {
    std::fprintf(stderr, "Mirevo.scr: the preview (/p) needs an X window handle; this Wayland session has none.\n");
    return false;
}

namespace {

// The settings dialog's offer to allow taking the desktop's picture, where the desktop's portal would ask.
class PortalConsent final : public DesktopPictureConsent {
public:
    bool needed() override {
        return desktopPictureNeedsConsent(std::chrono::steady_clock::now() + kConsentLimit);
    }
    Result<void, std::string> give() override {
        return allowDesktopPicture(std::chrono::steady_clock::now() + kConsentLimit);
    }

private:
    // The dialog waits for these answers: a bus or store that is slow to answer is taken as none.
    static constexpr std::chrono::seconds kConsentLimit{3};
};

} // namespace

std::unique_ptr<DesktopPictureConsent> WaylandSaverDesktop::desktopPictureConsent() {
    return std::make_unique<PortalConsent>();
}

std::unique_ptr<SessionDesktop> WaylandSaverDesktop::sessionDesktop() {
    return std::make_unique<WaylandSessionDesktop>(std::vector<PictureSource>{wlrScreenCopySource(), kwinScreenShotSource(), portalScreenshotSource()});
}

} // namespace mirevo
