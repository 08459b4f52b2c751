// Real sound: one session's music runs in a child process on SDL's disk audio driver, and the tones are
// looked for in what it wrote.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/harness/child_process.h"
#include "tests/harness/temp_dir.h"
#include "tests/music/sound_fixtures.h"

namespace mirevo {
namespace {

namespace fs = std::filesystem;
using test::readLeftChannel;
using test::toneAmplitude;
using test::windowsWithTone;

constexpr size_t TENTH = test::RATE / 10;

class RealSound : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder / "with blanks"); }

    // Runs the music for the given time; the left channel of what was heard.
    std::vector<int16_t> play(const std::string& kind, const std::string& file, int repeat, double seconds,
                              const std::string& cdDevice = "") {
        fs::path out = folder / "heard.raw";
        test::ChildProcess probe(
            {MUSIC_PROBE, kind, file, std::to_string(repeat), std::to_string(seconds)},
            {{"SDL_AUDIODRIVER", "disk"},
             {"SDL_DISKAUDIOFILE", out.string()},
             {"MIREVO_CD_DEVICE", cdDevice.empty() ? std::nullopt : std::optional(cdDevice)}});
        auto code = probe.waitExit(std::chrono::milliseconds(static_cast<int>(seconds * 1000) + 20000));
        EXPECT_EQ(code, std::optional<int>(0)) << probe.errors();
        return readLeftChannel(out);
    }

    test::TempDir dir;
    const fs::path folder{dir.path()};
};

TEST_F(RealSound, Mp3IsHeardAgainAfterItsEnd) {
    fs::path mp3 = folder / "with blanks" / "tone 440.mp3";
    ASSERT_TRUE(test::makeTone(mp3, 440, 1.0));
    auto heard = play("mp3", mp3.string(), 0, 3.6);
    ASSERT_GT(heard.size(), 3 * test::RATE);
    // The file lasts one second; well over that much of its tone means it was started again after its end
    // (whether the restart timer came round just after the end or most of a second later).
    int heardTenths = windowsWithTone(heard, TENTH, 440, 2000);
    EXPECT_GE(heardTenths, 15);
}

TEST_F(RealSound, WavLoopsWithoutAGap) {
    fs::path wav = folder / "with blanks" / "tone.wav";
    ASSERT_TRUE(test::makeTone(wav, 660, 0.5));
    auto heard = play("wav", wav.string(), 0, 2.5);
    ASSERT_GT(heard.size(), 2 * test::RATE);
    // Every hundredth of a second from the first sound to the last holds the tone.
    const size_t hundredth = test::RATE / 100;
    std::optional<size_t> first;
    size_t last = 0, windows = 0, quiet = 0;
    for (size_t i = 0; i + hundredth <= heard.size(); i += hundredth) {
        if (toneAmplitude(heard, i, hundredth, 660) <= 2000) continue;
        if (!first) first = i;
        last = i;
    }
    ASSERT_TRUE(first);
    for (size_t i = *first + hundredth; i + hundredth <= last; i += hundredth, ++windows)
        if (toneAmplitude(heard, i, hundredth, 660) < 2000) ++quiet;
    EXPECT_GT(windows, 180u);
    EXPECT_EQ(quiet, 0u);
}

TEST_F(RealSound, DiscWithRepeatThreePlaysOnlyTrackThreeAgainAndAgain) {
    fs::path cue = folder / "with blanks" / "disc.cue";
    test::makeDiscImage(cue, {500, 1000, 1500});
    auto heard = play("cd", "", 3, 3.6, cue.string());
    ASSERT_GT(heard.size(), 3 * test::RATE);
    int track3 = windowsWithTone(heard, TENTH, 1500, 3000);
    // Track 3 lasts one second; more than two seconds of it means it was played over and over.
    EXPECT_GE(track3, 22);
    EXPECT_EQ(windowsWithTone(heard, TENTH, 500, 1000), 0);
    EXPECT_EQ(windowsWithTone(heard, TENTH, 1000, 1000), 0);
}

TEST_F(RealSound, NoDiscImageMeansSilenceAndTheMonitorOff) {
    fs::path out = folder / "heard.raw";
    test::ChildProcess probe({MUSIC_PROBE, "cd", "", "0", "0.6"},
                             {{"SDL_AUDIODRIVER", "disk"},
                              {"SDL_DISKAUDIOFILE", out.string()},
                              {"MIREVO_CD_DEVICE", (folder / "none.cue").string()}});
    ASSERT_EQ(probe.waitExit(std::chrono::seconds(20)), std::optional<int>(0));
    EXPECT_NE(probe.output().find("cd monitor off"), std::string::npos) << probe.output();
    EXPECT_FALSE(fs::exists(out)); // the audio device was never opened
}

TEST_F(RealSound, WithoutASoundOutputEveryPlayerStaysSilentAndNothingFails) {
    fs::path mp3 = folder / "tone.mp3", wav = folder / "tone.wav", cue = folder / "disc.cue";
    ASSERT_TRUE(test::makeTone(mp3, 440, 0.3));
    ASSERT_TRUE(test::makeTone(wav, 440, 0.3));
    test::makeDiscImage(cue, {500});
    struct Case {
        const char* kind;
        std::string file;
        const char* printed; // a WAV without a device is not handed to the player; the disc stays monitored
    } cases[] = {{"mp3", mp3.string(), "started, last result 0"},
                 {"wav", wav.string(), "started, last result 0"},
                 {"cd", "", "cd monitor on"}};
    for (const auto& c : cases) {
        test::ChildProcess probe({MUSIC_PROBE, c.kind, c.file, "0", "1.3"},
                                 {{"SDL_AUDIODRIVER", "no-such-driver"}, {"MIREVO_CD_DEVICE", cue.string()}});
        EXPECT_EQ(probe.waitExit(std::chrono::seconds(20)), std::optional<int>(0)) << c.kind;
        EXPECT_NE(probe.output().find(c.printed), std::string::npos) << c.kind << ": " << probe.output();
        EXPECT_EQ(probe.errors(), "") << c.kind;
    }
}

} // namespace
} // namespace mirevo
