#include "saver/wayland_saver_desktop.h"

#include <cstdio>

#include "saver/session/qt_screenshot_services.h"
#include "saver/session/wayland_session_desktop.h"
#include "saver/wayland_instance_lock.h"

namespace mirevo {

bool WaylandSaverDesktop::takeInstanceLock() {
    lock_.emplace(takeWaylandInstanceLock());
    return lock_->state() != FileLockState::HeldElsewhere;
}

bool WaylandSaverDesktop::showPreview(int32_t) {
    std::fprintf(stderr, "Mirevo.scr: the preview (/p) needs an X window handle; this Wayland session has none.\n");
    return false;
}

std::unique_ptr<SessionDesktop> WaylandSaverDesktop::sessionDesktop() {
    return std::make_unique<WaylandSessionDesktop>(std::vector<PictureSource>{wlrScreenCopySource(), kwinScreenShotSource(), portalScreenshotSource()});
}

} // namespace mirevo
