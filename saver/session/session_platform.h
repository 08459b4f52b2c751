#pragma once
// What the session Tovik_S needs of the desktop and the toolkit it runs on. The saver's desktop (X11 or
// Wayland) implements it; tests use a fake.
#include <chrono>
#include <memory>
#include <string>

#include "common/posix/atomic_file.h"
#include "saver/session/snapshot_bitmap.h"

namespace mirevo {

enum class SessionTimer { Timer1, Timer2, Timer3 };

class SessionPlatform {
public:
    virtual ~SessionPlatform() = default;
    // The screen's top-left screen-sized picture, read as it is written; nothing when there is no screen.
    virtual std::unique_ptr<RowSource> grabScreen() = 0;
    // Replaces the snapshot file with what contents writes; on failure the old file is left untouched.
    virtual WriteResult writeSnapshot(const FileContents& contents) = 0;
    virtual bool snapshotExists() = 0;
    virtual void removeSnapshot() = 0;
    // Starts the program directly (no shell, no arguments); false when it could not be started.
    virtual bool startProgram(const std::string& path) = 0;
    // Has the program started last ended? Collects its exit status.
    virtual bool startedProgramEnded() = 0;
    // Ends the program started last: SIGTERM, SIGKILL a second later if it is still there; collects it.
    virtual void endStartedProgram() = 0;
    // Is there a top-level window with this title (the viewer's, for the watch)?
    virtual bool windowExists(const std::string& title) = 0;
    // Undoes the cursor hiding of a session started with switch S.
    virtual void showCursor() = 0;
    virtual void setTimer(SessionTimer timer, bool on) = 0;
    virtual std::chrono::steady_clock::time_point now() = 0;
    // One line on standard error; the session goes on.
    virtual void report(const std::string& line) = 0;
    // Has a stop signal come? The load then starts nothing more; the unload follows from the event loop.
    virtual bool stopRequested() { return false; }
    // Ends the process with code 0; no handler runs after this.
    virtual void endProgram() = 0;
};

} // namespace mirevo
