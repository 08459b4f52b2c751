#pragma once
// Stand-ins for the desktop and the music, writing every call into one log so that order can be checked.
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "shared/music/music.h"
#include "saver/session/tovik_s.h"

namespace mirevo::test {

using Log = std::vector<std::string>;

class FakeMusic final : public Music {
public:
    explicit FakeMusic(Log& log) : log_(log) {}
    void CD_Open() override { log_.push_back("CD_Open"); }
    void CD_Check() override {
        log_.push_back("CD_Check");
        if (checksLeft > 0) --checksLeft;
    }
    bool CdActive() const override { return checksLeft > 0; }
    void CD_Close() override { log_.push_back("CD_Close"); }
    void MP3_Play() override { log_.push_back("MP3_Play"); }
    void MP3_Repeat() override { log_.push_back("MP3_Repeat"); }
    void MP3_Close() override { log_.push_back("MP3_Close"); }
    void WAV_Play() override { log_.push_back("WAV_Play"); }
    void WAV_Stop() override { log_.push_back("WAV_Stop"); }

    int checksLeft = 1000; // CD_Check calls after which the disc can no longer be monitored

private:
    Log& log_;
};

class FakeSessionPlatform final : public SessionPlatform {
public:
    explicit FakeSessionPlatform(Log& log) : log_(log) {}

    std::unique_ptr<RowSource> grabScreen() override {
        log_.push_back("grabScreen");
        if (stopDuringGrab) {
            stopped = true;
            return nullptr; // the picture given up for the stop
        }
        // An unreadable screen has a size but refuses every read, as XWayland's root window does.
        PixelView view{screenReadable ? reinterpret_cast<const uint8_t*>(screen.data()) : nullptr,
                       screenWidth, screenHeight, size_t(screenWidth) * 4};
        return std::make_unique<PixelViewRows>(view);
    }
    WriteResult writeSnapshot(const FileContents& contents) override {
        log_.push_back("writeSnapshot");
        if (!writable) return writeFailure("read-only");
        if ((snapshotOnDisk ? 2 : 1) > room) return writeFailure("No space left on device", true);
        snapshot.clear();
        bool complete = contents([this](const uint8_t* data, size_t size) {
            snapshot.insert(snapshot.end(), data, data + size);
            return true;
        });
        snapshotOnDisk = snapshotOnDisk || complete;
        if (!complete) return writeFailure("nothing to write");
        return {};
    }
    bool snapshotExists() override { return snapshotOnDisk; }
    void removeSnapshot() override {
        log_.push_back("removeSnapshot");
        snapshotOnDisk = false;
    }
    bool startProgram(const std::string& path) override {
        log_.push_back("startProgram " + path);
        return programStarts;
    }
    bool startedProgramEnded() override { return programEnded; }
    void endStartedProgram() override {
        log_.push_back("endStartedProgram");
        programEnded = true;
    }
    bool windowExists(const std::string& title) override { return windows.count(title) > 0; }
    void showCursor() override { log_.push_back("showCursor"); }
    void setTimer(SessionTimer timer, bool on) override {
        log_.push_back("Timer" + std::to_string(static_cast<int>(timer) + 1) + (on ? " on" : " off"));
    }
    std::chrono::steady_clock::time_point now() override { return clock; }
    void report(const std::string& line) override { reports.push_back(line); }
    void endProgram() override { log_.push_back("endProgram"); }
    bool stopRequested() override { return stopped; }

    int screenWidth = 3, screenHeight = 2;
    std::vector<uint32_t> screen = std::vector<uint32_t>(6, 0x00102030);
    bool screenReadable = true;
    bool writable = true;
    int room = 2; // snapshots the disk holds side by side
    bool snapshotOnDisk = false;
    bool programStarts = true;
    bool programEnded = false;
    std::map<std::string, int> windows;
    std::chrono::steady_clock::time_point clock{};
    std::vector<uint8_t> snapshot;
    std::vector<std::string> reports;
    bool stopDuringGrab = false; // a stop signal comes while the picture is taken
    bool stopped = false;

private:
    Log& log_;
};

} // namespace mirevo::test
