#pragma once
// What Main needs of the desktop and the toolkit it runs on. The saver's desktop (X11 or Wayland) implements
// it; tests use a fake.
#include <cstdint>
#include <string>

namespace mirevo {

class StartupPlatform {
public:
    virtual ~StartupPlatform() = default;
    // Takes the display's one lock for a session and the settings dialog and holds it for the life of the
    // process. False when another session or dialog holds it; true also when there is no lock to be had (the
    // title test alone decides then).
    virtual bool takeInstanceLock() = 0;
    // Is there a top-level window, hidden ones included, with exactly this title?
    virtual bool windowExists(const std::string& title) = 0;
    // Brings the top-level window with this title, when there is one, to the front: un-minimised, raised,
    // focused.
    virtual void bringToFront(const std::string& title) = 0;
    // Folder of the running Mirevo.scr, without a trailing "/".
    virtual std::string programFolder() = 0;
    // Modal box, OK only, no icon; returns when it is closed.
    virtual void showMessageBox(const std::string& text, const std::string& caption) = 0;
    virtual void hideCursor() = 0;
    // Shows the preview inside the host window. False when there is nothing to show it in (end at once).
    virtual bool showPreview(int32_t hostHandle) = 0;
    // Shows the settings dialog modally; returns when it has closed.
    virtual void showSettingsDialog() = 0;
    // Creates the hidden session window; its load handler starts the session. cursorHidden: switch S.
    virtual void startSession(bool cursorHidden) = 0;
};

} // namespace mirevo
