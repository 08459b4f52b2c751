#pragma once
// The session window Tovik_S: snapshot, viewer start and music at load; the MP3 and CD monitors and the
// viewer watch on three timers; the shutdown at unload. Plain logic over SessionPlatform, so it runs
// without a display.
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "common/program_names.h"
#include "shared/music/music.h"
#include "shared/music/music_plan.h"
#include "saver/session/session_platform.h"
#include "shared/settings/settings.h"

namespace mirevo {

// Intervals in milliseconds: MP3 restart, CD monitor, viewer watch.
constexpr int timerInterval(SessionTimer timer) {
    return timer == SessionTimer::Timer1 ? kMp3RestartMs : timer == SessionTimer::Timer2 ? kCdMonitorMs : 500;
}

// How long the watch waits for the viewer's window to appear before it gives up on the viewer.
inline constexpr std::chrono::seconds kViewerAppearLimit{10};

class TovikS {
public:
    // cursorHidden: the switch was S, so Main hid the cursor and the shutdown shows it again.
    TovikS(SessionPlatform& platform, Music& music, const Settings& settings, std::string programFolder,
           bool cursorHidden);

    // The load handler: snapshot, viewer start, music start. Timer3 is on from creation.
    void load();
    void onTimer1();
    void onTimer2();
    void onTimer3();
    // The query-unload handler: ends a viewer still running, stops the music, shows the cursor for switch S,
    // ends the program.
    void unload();

    bool timerOn(SessionTimer timer) const { return timers_[index(timer)]; }
    bool ended() const { return ended_; }
    const std::string& viewerPath() const { return viewerPath_; }

private:
    static int index(SessionTimer timer) { return static_cast<int>(timer); }
    void setTimer(SessionTimer timer, bool on);
    void takeSnapshot();
    bool viewerGone();

    SessionPlatform& platform_;
    Music& music_;
    const Settings& settings_;
    std::string programFolder_;
    bool cursorHidden_;
    std::string viewerPath_;
    bool timers_[3] = {false, false, true};
    MusicKind musicKind_ = MusicKind::None; // what load started
    bool ended_ = false;
    bool viewerStarted_ = false;
    bool viewerWindowSeen_ = false;
    std::chrono::steady_clock::time_point viewerStartedAt_{};
};

} // namespace mirevo
