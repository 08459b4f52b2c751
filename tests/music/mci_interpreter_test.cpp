// The command interpreter: the words of a command, then every command the music module sends and the
// ones it must refuse, against a disc and a song that make no sound.
#include <filesystem>
#include <fstream>
#include <variant>

#include <gtest/gtest.h>

#include "shared/music/mci_errors.h"
#include "shared/music/mci_parser.h"
#include "tests/harness/temp_dir.h"
#include "tests/music/fake_devices.h"

namespace mirevo {
namespace {

using test::FakeDisc;
using test::FakeSong;

TEST(MciParser, SplitsWordsAndQuotedNames) {
    struct Case {
        const char* text;
        std::vector<std::string> words; // verb, device, args
        int32_t error;
    } cases[] = {
        {"status cdaudio mode", {"status", "cdaudio", "mode"}, 0},
        {"  PLAY\tMP3Play  from 0 ", {"play", "MP3Play", "from", "0"}, 0},
        {"open \"/m/a b/c.mp3\" type MPEGVideo", {"open", "/m/a b/c.mp3", "type", "MPEGVideo"}, 0},
        {"open \"\" type x", {"open", "", "type", "x"}, 0},
        {"close", {"close", ""}, 0},
        {"", {}, mci_error::MISSING_COMMAND},
        {"   ", {}, mci_error::MISSING_COMMAND},
        {"open \"/m/a.mp3 type MPEGVideo", {}, mci_error::NO_CLOSING_QUOTE},
        {"open \"/m/a\"b.mp3\" type MPEGVideo", {}, mci_error::EXTRA_CHARACTERS},
        {"open \"/m/a\"b.mp3 type MPEGVideo", {}, mci_error::EXTRA_CHARACTERS},
        {"open /m/a\"b.mp3 type MPEGVideo", {}, mci_error::EXTRA_CHARACTERS},
    };
    for (const auto& c : cases) {
        auto parsed = parseMciCommand(c.text);
        if (c.error) {
            ASSERT_TRUE(std::holds_alternative<int32_t>(parsed)) << c.text;
            EXPECT_EQ(std::get<int32_t>(parsed), c.error) << c.text;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<MciCommand>(parsed)) << c.text;
        const auto& m = std::get<MciCommand>(parsed);
        std::vector<std::string> words = {m.verb, m.device};
        words.insert(words.end(), m.args.begin(), m.args.end());
        EXPECT_EQ(words, c.words) << c.text;
    }
}

struct Step {
    std::string command;
    int32_t code;
    std::string reply;
    int32_t advance = 0; // sectors the disc plays on after the command
};

void runSteps(MciInterpreter& mci, FakeDisc& disc, const std::vector<Step>& steps) {
    for (const auto& s : steps) {
        std::string reply;
        EXPECT_EQ(mci.run(s.command, reply), s.code) << s.command;
        EXPECT_EQ(reply, s.reply) << s.command;
        disc.advance(s.advance);
    }
}

// Four tracks of 10, 20, 30 and 10 seconds.
FakeDisc fourTracks() {
    return FakeDisc::withTracks({750, 1500, 2250, 750});
}

TEST(MciInterpreter, CdAudioCommandsOfTheMonitor) {
    FakeDisc disc = fourTracks();
    MciInterpreter mci(test::fakeBackends(&disc, nullptr));
    runSteps(mci, disc,
             {
                 {"open cdaudio", 0, ""},
                 {"open CDAudio", mci_error::DUPLICATE_ALIAS, ""},
                 {"set cdaudio time format tmsf", 0, ""},
                 {"status cdaudio mode", 0, "stopped"},
                 {"status cdaudio current track", 0, "1"},
                 {"status cdaudio number of tracks", 0, "4"},
                 {"status cdaudio position track 3", 0, "03:00:00:00"},
                 {"play cdaudio from 03:00:00:00", 0, "", 2250 + 80},
                 {"STATUS CDAUDIO MODE", 0, "playing"},
                 {"Status CdAudio Current Track", 0, "4"},
                 {"status cdaudio position", 0, "04:00:01:05"},
                 {"play cdaudio from 02:00:10:00 to 3", 0, "", 10000},
                 {"status cdaudio mode", 0, "stopped"},
                 {"status cdaudio current track", 0, "3"},
                 {"status cdaudio position track 9", mci_error::OUTOFRANGE, ""},
                 {"status cdaudio position track x", mci_error::BAD_INTEGER, ""},
                 {"play cdaudio from Error:282", mci_error::BAD_INTEGER, ""},
                 {"play cdaudio from 05:00:00:00", mci_error::OUTOFRANGE, ""},
                 {"play cdaudio from 01:00:00:00:00", mci_error::BAD_INTEGER, ""},
                 {"play cdaudio from 02:00:00:00 to 01:00:00:00", mci_error::OUTOFRANGE, ""},
                 {"play cdaudio from", mci_error::MISSING_PARAMETER, ""},
                 {"play cdaudio at 3", mci_error::UNRECOGNIZED_KEYWORD, ""},
                 {"set cdaudio time format milliseconds", 0, ""},
                 {"status cdaudio position track 2", 0, "10000"},
                 {"set cdaudio time format msf", 0, ""},
                 {"status cdaudio position track 2", 0, "00:12:00"},
                 {"set cdaudio time format frames", mci_error::BAD_TIME_FORMAT, ""},
                 {"set cdaudio door open", mci_error::UNRECOGNIZED_KEYWORD, ""},
                 {"set cdaudio time format", mci_error::MISSING_PARAMETER, ""},
                 {"status cdaudio", mci_error::MISSING_PARAMETER, ""},
                 {"status cdaudio volume", mci_error::UNRECOGNIZED_KEYWORD, ""},
                 {"stop cdaudio", 0, ""},
                 {"close cdaudio", 0, ""},
                 {"status cdaudio mode", mci_error::INVALID_DEVICE_NAME, ""},
             });
    EXPECT_EQ(disc.plays, (std::vector<std::pair<int32_t, int32_t>>{{2250, 4500 + 750}, {750 + 750, 2250}}));
}

TEST(MciInterpreter, RefusesWhatIsNoCommandOfOurs) {
    FakeDisc disc = fourTracks();
    MciInterpreter mci(test::fakeBackends(&disc, nullptr));
    runSteps(mci, disc,
             {
                 {"", mci_error::MISSING_COMMAND, ""},
                 {"dance cdaudio", mci_error::UNRECOGNIZED_COMMAND, ""},
                 {"open", mci_error::MISSING_DEVICE_NAME, ""},
                 {"open sequencer", mci_error::INVALID_DEVICE_NAME, ""},
                 {"open \"/m/x.mid\" type sequencer alias s", mci_error::INVALID_DEVICE_NAME, ""},
                 {"open cdaudio alias", mci_error::MISSING_PARAMETER, ""},
                 {"open cdaudio notify", mci_error::UNRECOGNIZED_KEYWORD, ""},
                 {"status nothing mode", mci_error::INVALID_DEVICE_NAME, ""},
                 {"stop cdaudio", mci_error::INVALID_DEVICE_NAME, ""},
             });
    for (int32_t code : {259, 261, 263, 267, 275, 276, 282, 294, 305, 306})
        EXPECT_TRUE(mci.errorString(code)) << code;
    EXPECT_FALSE(mci.errorString(9999));
}

TEST(MciInterpreter, DiscPlayedToItsEndStartsAgainFromItsBeginning) {
    FakeDisc disc = fourTracks();
    MciInterpreter mci(test::fakeBackends(&disc, nullptr));
    runSteps(mci, disc,
             {
                 {"open cdaudio", 0, ""},
                 {"set cdaudio time format tmsf", 0, ""},
                 {"play cdaudio", 0, "", 100},
                 {"stop cdaudio", 0, ""},
                 {"status cdaudio position", 0, "01:00:01:25"},
                 {"play cdaudio", 0, "", 100000},
                 {"status cdaudio mode", 0, "stopped"},
                 {"status cdaudio current track", 0, "4"},
                 {"play cdaudio", 0, ""},
             });
    EXPECT_EQ(disc.plays, (std::vector<std::pair<int32_t, int32_t>>{{0, 5250}, {100, 5250}, {0, 5250}}));
}

TEST(MciInterpreter, NoDiscOrNoDriveFailsTheStatusQueries) {
    FakeDisc empty;
    MciInterpreter mci(test::fakeBackends(&empty, nullptr));
    runSteps(mci, empty,
             {
                 {"open cdaudio", 0, ""},
                 {"status cdaudio mode", 0, "not ready"},
                 {"status cdaudio current track", mci_error::DEVICE_NOT_READY, ""},
                 {"status cdaudio number of tracks", mci_error::DEVICE_NOT_READY, ""},
                 {"play cdaudio", mci_error::DEVICE_NOT_READY, ""},
             });
    MciInterpreter noDrive(test::fakeBackends(nullptr, nullptr));
    runSteps(noDrive, empty,
             {
                 {"open cdaudio", mci_error::DEVICE_NOT_INSTALLED, ""},
                 {"status cdaudio current track", mci_error::INVALID_DEVICE_NAME, ""},
             });
    FakeDisc silent = fourTracks();
    silent.outputWorks = false;
    MciInterpreter noOutput(test::fakeBackends(&silent, nullptr));
    runSteps(noOutput, silent,
             {{"open cdaudio", 0, ""}, {"play cdaudio", mci_error::CANNOT_LOAD_DRIVER, ""}});
}

TEST(MciInterpreter, RepliesAreCutToTheBuffer) {
    FakeDisc disc = fourTracks();
    MciInterpreter mci(test::fakeBackends(&disc, nullptr));
    ASSERT_EQ(mci.sendString("open cdaudio", nullptr, 0), 0);
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(mci.sendString("status cdaudio mode", buffer, 4), 0);
    EXPECT_STREQ(buffer, "sto");
    EXPECT_EQ(mci.sendString("status cdaudio mode", buffer, 8), 0);
    EXPECT_STREQ(buffer, "stopped");
    EXPECT_EQ(mci.sendString("status cdaudio door", buffer, 8), mci_error::UNRECOGNIZED_KEYWORD);
    EXPECT_STREQ(buffer, "");
}

class Mp3Files : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"my music/a b.mp3", "q\"x.mp3", "plain.mp3"})
            test::writeFile(path(name), "ID3");
    }
    std::string path(const char* name) const { return folder / name; }
    test::TempDir folder;
};

TEST_F(Mp3Files, MpegVideoOpensQuotedPathsOnlyAndOneAtATime) {
    FakeDisc disc;
    FakeSong song;
    MciInterpreter mci(test::fakeBackends(&disc, &song));
    std::string blanks = path("my music/a b.mp3");
    runSteps(
        mci, disc,
        {
            {"open \"" + path("q\"x.mp3") + "\" type MPEGVideo Alias MP3Play", mci_error::EXTRA_CHARACTERS,
             ""},
            {"open \"" + path("missing.mp3") + "\" type MPEGVideo Alias MP3Play", mci_error::FILE_NOT_FOUND,
             ""},
            {"open " + blanks + " type MPEGVideo Alias MP3Play", mci_error::UNRECOGNIZED_KEYWORD, ""},
            {"open \"" + blanks + "\" type MPEGVideo Alias MP3Play", 0, ""},
            {"open \"" + path("plain.mp3") + "\" type mpegvideo alias other", mci_error::DEVICE_OPEN, ""},
            {"status mp3play mode", 0, "stopped"},
            {"play MP3Play", 0, ""},
            {"status MP3Play mode", 0, "playing"},
            {"play MP3Play to 500", mci_error::UNSUPPORTED_FUNCTION, ""},
            {"play MP3Play from x", mci_error::BAD_INTEGER, ""},
            {"stop MP3Play", 0, ""},
            {"status MP3Play mode", 0, "stopped"},
            {"play MP3Play from 0", 0, ""},
            {"set MP3Play time format tmsf", mci_error::BAD_TIME_FORMAT, ""},
            {"status MP3Play length", 0, "1000"},
            {"close MP3Play", 0, ""},
            {"status MP3Play mode", mci_error::INVALID_DEVICE_NAME, ""},
        });
    EXPECT_EQ(song.plays, (std::vector<std::optional<int64_t>>{std::nullopt, 0}));
    EXPECT_EQ(song.streamsAlive, 0);
    song.loadable = false;
    std::string reply;
    EXPECT_EQ(mci.run("open \"" + path("plain.mp3") + "\" type MPEGVideo Alias MP3Play", reply),
              mci_error::INVALID_FILE);
}

} // namespace
} // namespace mirevo
