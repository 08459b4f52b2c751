#pragma once
// What the saver's start-up needs of the desktop it runs on, X11 or Wayland: the one lock per display, the
// window search by title, the cursor, the preview's host window and the session's own desktop.
#include <cstdint>
#include <memory>
#include <string>

#include "saver/session/session_desktop.h"
#include "saver/settings_dialog/dialog_services.h"

namespace mirevo {

class SaverDesktop {
public:
    virtual ~SaverDesktop() = default;
    // See StartupPlatform: false when another session or dialog holds the display's lock.
    virtual bool takeInstanceLock() = 0;
    virtual bool windowExists(const std::string& title) = 0;
    virtual void bringToFront(const std::string& title) = 0;
    virtual void hideCursor() = 0;
    // False when there is nothing to show the preview in.
    virtual bool showPreview(int32_t hostHandle) = 0;
    virtual std::unique_ptr<SessionDesktop> sessionDesktop() = 0;
    // What the settings dialog offers for taking the desktop's picture; nothing where there is nothing to ask.
    virtual std::unique_ptr<DesktopPictureConsent> desktopPictureConsent() { return nullptr; }
};

} // namespace mirevo
