#pragma once
// The session window Tovik_S on Qt: three QTimers, the viewer process, the snapshot file, and the desktop
// (X11 or Wayland) for the picture, the window search and the cursor.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "shared/music/music.h"
#include "common/posix/posix_program.h"
#include "saver/session/tovik_s.h"
#include "saver/session/session_desktop.h"
#include "shared/settings/settings.h"

class QTimer;

namespace mirevo {

class QtStopSignals;

class QtSessionWindow final : public SessionPlatform {
public:
    // Creates the window and runs its load handler. The QApplication must exist; settings and lastApiResult
    // outlive the window.
    QtSessionWindow(std::unique_ptr<SessionDesktop> desktop, const Settings& settings, int32_t& lastApiResult,
                    std::string programFolder, bool cursorHidden);
    ~QtSessionWindow() override;

    const TovikS& session() const { return session_; }

    std::unique_ptr<RowSource> grabScreen() override;
    WriteResult writeSnapshot(const FileContents& contents) override;
    bool snapshotExists() override;
    void removeSnapshot() override;
    bool startProgram(const std::string& path) override;
    bool startedProgramEnded() override;
    void endStartedProgram() override;
    bool windowExists(const std::string& title) override;
    void showCursor() override;
    void setTimer(SessionTimer timer, bool on) override;
    std::chrono::steady_clock::time_point now() override;
    void report(const std::string& line) override;
    bool stopRequested() override;
    void endProgram() override;

private:
    std::unique_ptr<SessionDesktop> desktop_;
    std::unique_ptr<Music> music_;
    StartedProgram viewer_;
    std::array<std::unique_ptr<QTimer>, 3> timers_;
    TovikS session_;
    std::unique_ptr<QtStopSignals> stopSignals_;
};

} // namespace mirevo
