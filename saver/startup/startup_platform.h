#pragma once
// What Main needs from the desktop. The Qt/X11 program implements it; tests use a fake.
#include <cstdint>
#include <string>

namespace mirevo {

class StartupPlatform {
public:
    virtual ~StartupPlatform() = default;
    // Takes the per-user session lock and holds it for the life of the process. False when another session
    // holds it; true also when there is no lock to be had (the title test alone decides then).
    virtual bool takeSessionLock() = 0;
    // Is there a top-level window, hidden ones included, with exactly this title?
    virtual bool windowExists(const std::string& title) = 0;
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
