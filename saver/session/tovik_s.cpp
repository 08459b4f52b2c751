#include "saver/session/tovik_s.h"

namespace mirevo {

TovikS::TovikS(SessionPlatform& platform, Music& music, const Settings& settings, std::string programFolder,
               bool cursorHidden)
    : platform_(platform), music_(music), settings_(settings), programFolder_(std::move(programFolder)),
      cursorHidden_(cursorHidden) {}

void TovikS::setTimer(SessionTimer timer, bool on) {
    timers_[index(timer)] = on;
    platform_.setTimer(timer, on);
}

void TovikS::takeSnapshot() {
    std::unique_ptr<RowSource> screen = platform_.grabScreen();
    if (platform_.stopRequested()) return; // the picture was given up for it: nothing to write or say
    std::optional<MirrorResult> mirrored; // stays empty when the file could not even be begun
    const auto write = [&]() -> WriteResult {
        if (!screen) return writeFailure("no screen");
        return platform_.writeSnapshot([&](const ByteSink& sink) {
            mirrored = writeMirroredBitmap(*screen, sink);
            return mirrored->ok();
        });
    };
    WriteResult written = write();
    if (!written && written.reason().outOfSpace) {
        // The new picture is written beside the old one before it replaces it, so both must fit. On a disk
        // with room for one, the old one goes first: better no picture than yesterday's desktop for ever.
        platform_.removeSnapshot();
        written = write();
    }
    if (written) return;
    const std::string shown = platform_.snapshotExists()
                                  ? "the viewer shows the previous snapshot."
                                  : "there is no snapshot; the viewer shows a plain floor.";
    if (!screen || (mirrored && !*mirrored && mirrored->reason() != MirrorFailure::SinkFailed))
        platform_.report("the screen cannot be read; " + shown);
    else
        platform_.report("the snapshot cannot be written (" + written.reason().why + "); " + shown);
}

void TovikS::load() {
    // The picture is complete on disk before the viewer process exists.
    takeSnapshot();
    // Asked to end while the picture was being taken (a desktop slow to give it): no viewer, no music.
    if (platform_.stopRequested()) return;

    viewerPath_ = programFolder_ + "/" + kViewerFileName;
    viewerStarted_ = platform_.startProgram(viewerPath_);
    viewerStartedAt_ = platform_.now();

    musicKind_ = musicKindOf(settings_);
    startMusic(music_, musicKind_);
    if (musicKind_ == MusicKind::Cd) setTimer(SessionTimer::Timer2, true);
    if (musicKind_ == MusicKind::Mp3) setTimer(SessionTimer::Timer1, true);
}

void TovikS::onTimer1() {
    if (ended_ || !timerOn(SessionTimer::Timer1)) return;
    monitorMusic(music_, MusicKind::Mp3);
}

void TovikS::onTimer2() {
    if (ended_ || !timerOn(SessionTimer::Timer2)) return;
    setTimer(SessionTimer::Timer2, monitorMusic(music_, MusicKind::Cd));
}

// The viewer needs time to open its window, longer on a busy machine, so a missing window alone ends the
// session only once it has been seen, or when the viewer never shows it within the limit. A viewer that
// has exited (or never started) ends the session at once.
bool TovikS::viewerGone() {
    if (!viewerStarted_) return true;
    if (platform_.startedProgramEnded()) return true;
    if (platform_.windowExists(kViewerWindowTitle)) {
        viewerWindowSeen_ = true;
        return false;
    }
    return viewerWindowSeen_ || platform_.now() - viewerStartedAt_ >= kViewerAppearLimit;
}

void TovikS::onTimer3() {
    if (ended_ || !timerOn(SessionTimer::Timer3)) return;
    if (!viewerGone()) return;
    setTimer(SessionTimer::Timer3, false);
    unload();
}

void TovikS::unload() {
    if (ended_) return;
    ended_ = true;
    // Whatever ends the session (a signal, the give-up, a window closed while its process lingers), no viewer
    // is left running without its saver.
    if (viewerStarted_ && !platform_.startedProgramEnded()) platform_.endStartedProgram();
    const bool cdMonitorOn = timerOn(SessionTimer::Timer2);
    if (cdMonitorOn) setTimer(SessionTimer::Timer2, false);
    if (timerOn(SessionTimer::Timer1)) setTimer(SessionTimer::Timer1, false);
    stopMusic(music_, musicKind_, cdMonitorOn);
    if (cursorHidden_) platform_.showCursor();
    platform_.endProgram();
}

} // namespace mirevo
