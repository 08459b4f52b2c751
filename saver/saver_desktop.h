#pragma once
// The desktop the saver runs on, X11 or Wayland, by which both the start-up (Main) and the session (TovikS)
// are served. What is the same everywhere is written here once, on Qt: the program folder, the message box,
// the settings dialog, the session's timers, the viewer's start and watch, the snapshot file. What the
// platform decides (the one lock per display, the window search, the cursor, the preview's host window, the
// desktop's picture) is written in X11SaverDesktop and WaylandSaverDesktop, and windowExists answers Main and
// the session alike.
#include <chrono>
#include <memory>
#include <string>

#include "saver/session/session_platform.h"
#include "saver/settings_dialog/dialog_services.h"
#include "saver/startup/startup_platform.h"
#include "shared/settings/settings.h"

namespace mirevo {

class SaverDesktop : public StartupPlatform, public SessionPlatform {
public:
    // state outlives the desktop; the QApplication exists while the desktop does.
    explicit SaverDesktop(ProgramState& state);
    ~SaverDesktop() override;
    SaverDesktop(const SaverDesktop&) = delete;
    SaverDesktop& operator=(const SaverDesktop&) = delete;

    std::string programFolder() override;
    void showMessageBox(const std::string& text, const std::string& caption) override;
    void showSettingsDialog() override;
    void startSession(bool cursorHidden) override;

    WriteResult writeSnapshot(const FileContents& contents) override;
    bool snapshotExists() override;
    void removeSnapshot() override;
    bool startProgram(const std::string& path) override;
    bool startedProgramEnded() override;
    void endStartedProgram() override;
    void setTimer(SessionTimer timer, bool on) override;
    std::chrono::steady_clock::time_point now() override;
    void report(const std::string& line) override;
    bool stopRequested() override;
    void endProgram() override;

protected:
    // Ends the session window, and the viewer with it, while the platform's lock and marks still stand: each
    // platform's destructor calls it first.
    void endSession();
    // Leaves the mark by which another start finds this session running, before the session's load: X11's
    // hidden window titled "Tovik_Main". Nothing where the lock alone tells.
    virtual void markRunningSession() {}
    // What the settings dialog offers for taking the desktop's picture; nothing where there is nothing to
    // ask.
    virtual std::unique_ptr<DesktopPictureConsent> desktopPictureConsent() { return nullptr; }

private:
    struct Session; // the session window's Qt side, from startSession on
    ProgramState& state_;
    std::unique_ptr<Session> session_;
};

} // namespace mirevo
