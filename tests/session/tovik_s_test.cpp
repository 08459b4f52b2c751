#include "saver/session/tovik_s.h"

#include <cerrno>
#include <csignal>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/posix/posix_program.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"
#include "tests/session/fake_session.h"

namespace mirevo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using namespace std::chrono_literals;

struct Session {
    explicit Session(Settings s = {}, bool cursorHidden = true)
        : settings(std::move(s)), platform(log), music(log),
          tovik(platform, music, settings, "/opt/mirevo", cursorHidden) {}
    // The log from here on.
    Log take() {
        Log taken;
        taken.swap(log);
        return taken;
    }

    Log log;
    Settings settings;
    FakeSessionPlatform platform;
    FakeMusic music;
    TovikS tovik;
};

Settings music(int16_t kind, std::string file) {
    Settings s;
    s.BgmKind = kind;
    s.BgmFile = std::move(file);
    return s;
}

TEST(TovikS, SnapshotIsWrittenBeforeTheViewerStarts) {
    Session s;
    s.platform.screen = {0x010203, 0x040506, 0x070809,  // top row
                         0x0a0b0c, 0x0d0e0f, 0x101112}; // bottom row
    s.tovik.load();
    EXPECT_THAT(s.take(), ElementsAre("grabScreen", "writeSnapshot", "startProgram /opt/mirevo/Mirevo.dll"));
    EXPECT_EQ(s.tovik.viewerPath(), "/opt/mirevo/Mirevo.dll");

    // The file holds the fake screen mirrored: its first row is the bottom row, starting at its right end.
    ASSERT_EQ(s.platform.snapshot.size(), bitmapFileSize(3, 2));
    const uint8_t* bottom = s.platform.snapshot.data() + kBitmapHeaderSize;
    EXPECT_THAT(std::vector<uint8_t>(bottom, bottom + 12),
                ElementsAre(0x12, 0x11, 0x10, 0x0f, 0x0e, 0x0d, 0x0c, 0x0b, 0x0a, 0, 0, 0));
    EXPECT_TRUE(s.platform.reports.empty());
}

// A disk with room for one snapshot kept the first for ever: each later one failed for lack of room beside
// it.
TEST(TovikS, FailuresAreReportedNeverLeaveAStalePictureAndTheViewerStillStarts) {
    struct Case {
        bool readable, writable;
        int room; // snapshots the disk holds side by side
        bool old, twice, fresh;
        std::string report;
    };
    const std::string none = "there is no snapshot; the viewer shows a plain floor.";
    const Case cases[] = {
        {true, true, 1, true, true, true, ""},
        {true, true, 0, true, true, false,
         "the snapshot cannot be written (No space left on device); " + none},
        {true, false, 2, true, false, false,
         "the snapshot cannot be written (read-only); the viewer shows the previous snapshot."},
        {false, true, 2, false, false, false, "the screen cannot be read; " + none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        Session s;
        s.platform.screenReadable = c.readable;
        s.platform.writable = c.writable;
        s.platform.room = c.room;
        s.platform.snapshotOnDisk = c.old;
        s.tovik.load();
        Log expected{"grabScreen", "writeSnapshot", "startProgram /opt/mirevo/Mirevo.dll"};
        if (c.twice) expected.insert(expected.begin() + 2, {"removeSnapshot", "writeSnapshot"});
        EXPECT_EQ(s.take(), expected);
        EXPECT_EQ(s.platform.snapshot.size() == bitmapFileSize(3, 2), c.fresh);
        EXPECT_EQ(s.platform.reports, c.report.empty() ? Log{} : Log{c.report});
    }
}

// A stop while a slow desktop is asked for its picture: nothing is written, no viewer or music is started and
// nothing is said; the unload that follows ends the program.
TEST(TovikS, AStopWhileThePictureIsTakenStartsNothingMore) {
    Session s(music(2, "/music/song.mp3"));
    s.platform.stopDuringGrab = true;
    s.tovik.load();
    EXPECT_THAT(s.take(), ElementsAre("grabScreen"));
    EXPECT_TRUE(s.platform.reports.empty());
    s.tovik.unload();
    EXPECT_THAT(s.take(), ElementsAre("showCursor", "endProgram"));
}

TEST(TovikS, MusicIsChosenByKindAndFileEnding) {
    struct Case {
        int16_t kind;
        std::string file;
        Log atLoad;     // after the viewer start
        Log atShutdown; // the query-unload handler, cursor shown, end
    };
    const Log cd = {"CD_Open", "Timer2 on"};
    const Log cdEnd = {"endStartedProgram", "Timer2 off", "CD_Close", "showCursor", "endProgram"};
    const Log wav = {"WAV_Play"};
    const Log wavEnd = {"endStartedProgram", "WAV_Stop", "showCursor", "endProgram"};
    const Log mp3 = {"MP3_Play", "Timer1 on"};
    const Log mp3End = {"endStartedProgram", "Timer1 off", "MP3_Close", "showCursor", "endProgram"};
    const Log none = {};
    const Log noneEnd = {"endStartedProgram", "showCursor", "endProgram"};
    const Case cases[] = {
        {BGM_NONE, "", none, noneEnd},
        {BGM_NONE, "/m/song.mp3", none, noneEnd},
        {BGM_CD, "", cd, cdEnd},
        {BGM_CD, "/m/song.wav", cd, cdEnd},
        {BGM_FILE, "/m/song.wav", wav, wavEnd},
        {BGM_FILE, "/m/SONG.WAV", wav, wavEnd},
        {BGM_FILE, "/m/song.Wav", wav, wavEnd},
        {BGM_FILE, "wav", wav, wavEnd},
        {BGM_FILE, "/m/song.mp3", mp3, mp3End},
        {BGM_FILE, "/m/SONG.MP3", mp3, mp3End},
        {BGM_FILE, "/m/song.mid", none, noneEnd},
        {BGM_FILE, "/m/song.wave", none, noneEnd},
        {BGM_FILE, "av", none, noneEnd},
        {3, "/m/song.mp3", none, noneEnd},
        {-1, "/m/song.wav", none, noneEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " " + c.file);
        Session s(music(c.kind, c.file));
        s.tovik.load();
        Log load = s.take();
        ASSERT_GE(load.size(), 3u);
        EXPECT_EQ(Log(load.begin() + 3, load.end()), c.atLoad);
        s.tovik.unload();
        EXPECT_EQ(s.take(), c.atShutdown);
    }
}

TEST(TovikS, CursorIsShownAtTheEndOnlyWhenMainHidIt) {
    for (bool hidden : {true, false}) {
        Session s({}, hidden);
        s.tovik.load();
        s.take();
        s.tovik.unload();
        s.tovik.unload(); // a second close request finds the program already ending
        s.tovik.onTimer3();
        Log expected = hidden ? Log{"endStartedProgram", "showCursor", "endProgram"}
                              : Log{"endStartedProgram", "endProgram"};
        EXPECT_EQ(s.take(), expected) << "cursor hidden: " << hidden;
    }
}

TEST(TovikS, Mp3MonitorRunsOnlyForAnMp3) {
    Session s(music(BGM_FILE, "/m/a.mp3"));
    s.tovik.load();
    s.take();
    s.tovik.onTimer1();
    s.tovik.onTimer1();
    s.tovik.onTimer2(); // no CD: its timer is off and a stray tick does nothing
    EXPECT_THAT(s.take(), ElementsAre("MP3_Repeat", "MP3_Repeat"));

    Session wav(music(BGM_FILE, "/m/a.wav"));
    wav.tovik.load();
    wav.take();
    wav.tovik.onTimer1();
    EXPECT_TRUE(wav.take().empty());
}

TEST(TovikS, CdMonitorStopsForGoodWhenTheDiscCannotBeMonitored) {
    Session s(music(BGM_CD, ""));
    s.music.checksLeft = 2;
    s.tovik.load();
    s.take();
    s.tovik.onTimer2();
    EXPECT_TRUE(s.tovik.timerOn(SessionTimer::Timer2));
    s.tovik.onTimer2();
    EXPECT_FALSE(s.tovik.timerOn(SessionTimer::Timer2));
    s.tovik.onTimer2();
    EXPECT_THAT(s.take(), ElementsAre("CD_Check", "Timer2 on", "CD_Check", "Timer2 off"));
    // The shutdown then leaves the CD device alone.
    s.tovik.unload();
    EXPECT_THAT(s.take(), ElementsAre("endStartedProgram", "showCursor", "endProgram"));
}

// What the watch does at each tick: the viewer's window present or not, its process alive or not, and the
// time since it was started.
struct WatchStep {
    std::chrono::milliseconds at;
    bool window;
    bool exited;
    bool ends; // this tick ends the session
};

void runWatch(const std::string& name, bool viewerStarts, const std::vector<WatchStep>& steps) {
    SCOPED_TRACE(name);
    Session s;
    s.platform.programStarts = viewerStarts;
    s.tovik.load();
    s.take();
    const auto start = s.platform.clock;
    for (const WatchStep& step : steps) {
        s.platform.clock = start + step.at;
        s.platform.windows.clear();
        if (step.window) s.platform.windows[kViewerWindowTitle] = 1;
        s.platform.programEnded = step.exited;
        s.tovik.onTimer3();
        Log log = s.take();
        if (step.ends) {
            // A viewer that has not ended by itself is ended with the session.
            Log expected{"Timer3 off", "endStartedProgram", "showCursor", "endProgram"};
            if (!viewerStarts || step.exited) expected.erase(expected.begin() + 1);
            EXPECT_EQ(log, expected) << step.at.count() << " ms";
            EXPECT_TRUE(s.tovik.ended());
            return;
        }
        EXPECT_TRUE(log.empty()) << step.at.count() << " ms";
        EXPECT_TRUE(s.tovik.timerOn(SessionTimer::Timer3));
    }
    ADD_FAILURE() << "the session never ended";
}

TEST(TovikS, WatchEndsWhenTheViewerWindowIsGoneOrTheViewerIsDone) {
    // A slow viewer: no window for several ticks, then the window, then Escape.
    runWatch("seen then gone", true,
             {{500ms, false, false, false},
              {1000ms, false, false, false},
              {4000ms, true, false, false},
              {12000ms, true, false, false},
              {12500ms, false, false, true}});
    // Its window closes before the give-up limit while the process lives on: the next tick ends the session.
    runWatch("seen then gone, process lingering", true,
             {{500ms, true, false, false}, {1000ms, false, false, true}});
    // The viewer process ended before it ever showed its window.
    runWatch("process exited", true, {{500ms, false, false, false}, {1000ms, false, true, true}});
    // The process exited while its window was still being torn down.
    runWatch("process exited, window left", true, {{500ms, true, false, false}, {1000ms, true, true, true}});
    // It runs but never shows a window: give up after ten seconds.
    runWatch("never appears", true,
             {{500ms, false, false, false}, {9999ms, false, false, false}, {10000ms, false, false, true}});
    // It could not be started at all: the first tick ends the session.
    runWatch("not started", false, {{500ms, false, false, true}});
}

// A viewer deaf to SIGTERM is killed a grace period later and collected (the e2e test ends a willing one).
TEST(StartedProgram, EndingKillsAProgramThatIgnoresTheRequestAndCollectsIt) {
    TempDir dir;
    const std::string path = dir / "viewer", ready = path + ".ready";
    ASSERT_TRUE(
        writeFile(path, "#!/bin/sh\ntrap '' TERM\ntouch '" + ready + "'\nwhile :; do sleep 1; done\n"));
    ASSERT_EQ(::chmod(path.c_str(), 0700), 0);
    StartedProgram program;
    ASSERT_TRUE(program.start(path));
    ASSERT_TRUE(pollUntil(10s, [&] { return ::access(ready.c_str(), F_OK) == 0; }));
    const auto start = std::chrono::steady_clock::now();
    program.end();
    EXPECT_GE(std::chrono::steady_clock::now() - start, StartedProgram::kEndGrace);
    EXPECT_TRUE(program.ended());
    EXPECT_TRUE(::kill(program.pid(), 0) == -1 && errno == ESRCH) << "no zombie is left";
}

} // namespace
} // namespace mirevo::test
