#pragma once
// The session window Tovik_S on Qt and X11: a titled X window that is never mapped, three QTimers, and the
// desktop services the session logic asks for.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "saver/music/music.h"
#include "common/posix/posix_program.h"
#include "saver/session/tovik_s.h"
#include "saver/session/x11_hidden_window.h"
#include "saver/settings/settings.h"

class QTimer;
typedef struct _XDisplay Display;

namespace mirevo {

class QtStopSignals;

class QtSessionWindow final : public SessionPlatform {
public:
    // Creates the window and runs its load handler. The QApplication must exist; display, settings and
    // lastApiResult outlive the window.
    QtSessionWindow(Display* display, const Settings& settings, int32_t& lastApiResult,
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
    void endProgram() override;

private:
    Display* display_;
    std::unique_ptr<Music> music_;
    X11HiddenWindow window_;
    StartedProgram viewer_;
    std::array<std::unique_ptr<QTimer>, 3> timers_;
    TovikS session_;
    std::unique_ptr<QtStopSignals> stopSignals_;
};

} // namespace mirevo
