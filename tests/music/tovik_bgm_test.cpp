// The module's channel and players against a scripted command channel and sound player.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/music/tovik_bgm.h"

namespace mirevo {
namespace {

// Answers commands from a table of replies (a reply of "#263" fails with that code) and records them.
class ScriptedMci final : public Mci {
public:
    std::map<std::string, std::string> replies;
    std::vector<std::string> sent;
    std::vector<uint32_t> lengths;
    bool hasErrorTexts = true;

    int32_t sendString(const std::string& command, char* reply, uint32_t length) override {
        sent.push_back(command);
        lengths.push_back(length);
        auto it = replies.find(command);
        std::string text = it == replies.end() ? "" : it->second;
        if (!text.empty() && text[0] == '#') return std::stoi(text.substr(1));
        if (reply && length > 0) {
            size_t n = std::min<size_t>(text.size(), length - 1);
            text.copy(reply, n);
            reply[n] = '\0';
        }
        return 0;
    }
    std::optional<std::string> errorString(int32_t code) override {
        if (!hasErrorTexts) return std::nullopt;
        return "text of " + std::to_string(code);
    }
};

class ScriptedSound final : public SoundPlayer {
public:
    int devices = 1;
    bool playResult = true;
    std::vector<std::string> calls;
    int numDevices() override { return devices; }
    bool playLooping(const std::string& file) override {
        calls.push_back("loop " + file);
        return playResult;
    }
    bool stop() override {
        calls.push_back("stop");
        return true;
    }
};

struct Fixture {
    Settings settings;
    int32_t last = 12345;
    ScriptedMci mci;
    ScriptedSound sound;
    TovikBgm bgm{settings, last, mci, sound};
};

TEST(MciChannel, EmptyCommandIsRefusedWithoutACall) {
    Fixture f;
    std::string reply;
    EXPECT_EQ(f.bgm.MCI_Send("", reply), -1);
    EXPECT_EQ(reply, "コマンド文字列が指定されていません");
    EXPECT_EQ(f.last, 12345);
    EXPECT_TRUE(f.mci.sent.empty());
}

TEST(MciChannel, SendGivesTheReplyOrTheErrorText) {
    Fixture f;
    f.mci.replies = {{"status cdaudio mode", "playing"}, {"status x mode", "#263"}};
    std::string reply;
    EXPECT_EQ(f.bgm.MCI_Send("status cdaudio mode", reply), 0);
    EXPECT_EQ(reply, "playing");
    EXPECT_EQ(f.mci.lengths.back(), 512u);
    EXPECT_EQ(f.last, 0);

    EXPECT_EQ(f.bgm.MCI_Send("status x mode", reply), 263);
    EXPECT_EQ(reply, "text of 263");
    EXPECT_EQ(f.last, 263);

    f.mci.hasErrorTexts = false;
    EXPECT_EQ(f.bgm.MCI_Send("status x mode", reply), 263);
    EXPECT_EQ(reply, "Error (文字列が取れません)");
}

TEST(MciChannel, RepliesAreCutToTheBufferLessItsNul) {
    Fixture f;
    f.mci.replies["status a length"] = std::string(600, '7');
    std::string reply;
    f.bgm.MCI_Send("status a length", reply);
    EXPECT_EQ(reply.size(), 511u);
}

TEST(MciChannel, FailedQueryBecomesErrorAndItsCode) {
    Fixture f;
    f.mci.replies = {{"status cdaudio current track", "#263"}, {"status cdaudio number of tracks", "12"}};
    std::string result = f.bgm.MCI_Query("status cdaudio current track");
    EXPECT_EQ(result, "Error:263");
    EXPECT_EQ(f.bgm.replyText(), "text of 263");
    EXPECT_EQ(f.last, 263);
    EXPECT_EQ(f.bgm.MCI_Query("status cdaudio number of tracks"), "12");
    // An empty query is refused by the channel, and the query records that refusal.
    EXPECT_EQ(f.bgm.MCI_Query(""), "Error:-1");
    EXPECT_EQ(f.last, -1);
}

TEST(MciChannel, PlayBuildsItsFourForms) {
    struct Case {
        const char *from, *to, *command;
    } cases[] = {
        {"", "", "play cdaudio"},
        {"", "05:00:00:00", "play cdaudio to 05:00:00:00"},
        {"03:00:00:00", "", "play cdaudio from 03:00:00:00"},
        {"03:00:00:00", "05:00:00:00", "play cdaudio from 03:00:00:00 to 05:00:00:00"},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.mci.replies[c.command] = "#282";
        EXPECT_EQ(f.bgm.MCI_Play("cdaudio", c.from, c.to), 282) << c.command;
        ASSERT_EQ(f.mci.sent.size(), 1u);
        EXPECT_EQ(f.mci.sent[0], c.command);
    }
}

// The CD monitor's decisions: what one step sends, for the device's state and BgmRepeat.
TEST(CdMonitor, DecidesFromTrackModeAndRepeat) {
    const std::string track = "status cdaudio current track", count = "status cdaudio number of tracks",
                      mode = "status cdaudio mode";
    struct Case {
        const char* name;
        int16_t repeat;
        std::string currentTrack, modeReply;
        std::vector<std::string> extra; // commands after the three queries
        bool active;
    } cases[] = {
        {"whole disc ended: play from where it stands", 0, "12", "stopped", {"play cdaudio"}, true},
        {"whole disc playing: nothing", 0, "4", "playing", {}, true},
        {"paused device left alone", 0, "4", "paused", {}, true},
        {"repeat 3 from track 1",
         3,
         "1",
         "playing",
         {"status cdaudio position track 3", "play cdaudio from 03:00:00:00"},
         true},
        {"track 4 started: back to 3",
         3,
         "4",
         "playing",
         {"status cdaudio position track 3", "play cdaudio from 03:00:00:00"},
         true},
        {"repeat 3 stopped on track 3",
         3,
         "3",
         "stopped",
         {"status cdaudio position track 3", "play cdaudio from 03:00:00:00"},
         true},
        {"track 3 playing: only the queries", 3, "3", "playing", {}, true},
        {"repeat with a paused device on its track", 3, "3", "paused", {}, true},
        {"a track reply that is no number ends the monitor", 3, "x3", "playing", {}, false},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.settings.BgmRepeat = c.repeat;
        f.mci.replies = {{track, c.currentTrack},
                         {count, "12"},
                         {mode, c.modeReply},
                         {"status cdaudio position track 3", "03:00:00:00"}};
        f.bgm.CD_Check();
        std::vector<std::string> expected = {track, count, mode};
        expected.insert(expected.end(), c.extra.begin(), c.extra.end());
        EXPECT_EQ(f.mci.sent, expected) << c.name;
        EXPECT_EQ(f.bgm.CdActive(), c.active) << c.name;
        EXPECT_EQ(f.mci.lengths[2], 255u) << c.name;
    }
}

TEST(CdMonitor, NoDiscOrNoDriveSwitchesItOff) {
    for (const char* failing : {"status cdaudio current track", "status cdaudio number of tracks"}) {
        Fixture f;
        f.settings.BgmRepeat = 2;
        f.mci.replies = {{"status cdaudio current track", "1"},
                         {"status cdaudio number of tracks", "3"},
                         {"status cdaudio mode", "stopped"}};
        f.mci.replies[failing] = "#276";
        f.bgm.CD_Check();
        EXPECT_FALSE(f.bgm.CdActive());
        EXPECT_EQ(f.mci.sent.back(), failing);
    }
}

TEST(CdMonitor, RepeatBeyondTheDiscKeepsSendingAndStaysOn) {
    Fixture f;
    f.settings.BgmRepeat = 20;
    f.mci.replies = {{"status cdaudio current track", "1"},
                     {"status cdaudio number of tracks", "3"},
                     {"status cdaudio mode", "stopped"},
                     {"status cdaudio position track 20", "#282"},
                     {"play cdaudio from Error:282", "#270"}};
    f.bgm.CD_Check();
    EXPECT_EQ(f.mci.sent.back(), "play cdaudio from Error:282");
    EXPECT_TRUE(f.bgm.CdActive());
    EXPECT_EQ(f.last, 270);
}

TEST(Mp3Player, OpensWithAQuotedPathAndPlaysOnlyWhenOpened) {
    Fixture f;
    f.settings.BgmFile = "/home/a b/曲.mp3";
    f.bgm.MP3_Play();
    EXPECT_EQ(f.mci.sent, (std::vector<std::string>{"open \"/home/a b/曲.mp3\" type MPEGVideo Alias MP3Play",
                                                    "play MP3Play"}));
    EXPECT_EQ(f.last, 12345); // the MP3 player leaves the last result alone

    Fixture g;
    g.settings.BgmFile = "/missing.mp3";
    g.mci.replies["open \"/missing.mp3\" type MPEGVideo Alias MP3Play"] = "#275";
    g.bgm.MP3_Play();
    EXPECT_EQ(g.mci.sent.size(), 1u);
    EXPECT_EQ(g.last, 12345);
}

TEST(Mp3Player, RepeatOnlyQueriesWhilePlayingAndRestartsOtherwise) {
    struct Case {
        std::string mode;
        bool playing;
    } cases[] = {
        {"playing", true}, {"stopped", false}, {"paused", false}, {"Playing", false}, {"#263", false}};
    for (const auto& c : cases) {
        Fixture f;
        f.mci.replies["status MP3Play mode"] = c.mode;
        f.bgm.MP3_Repeat();
        std::vector<std::string> expected = {"status MP3Play mode"};
        if (!c.playing) expected.insert(expected.end(), {"stop MP3Play", "play MP3Play from 0"});
        EXPECT_EQ(f.mci.sent, expected) << c.mode;
        EXPECT_EQ(f.mci.lengths[0], 30u);
        EXPECT_EQ(f.bgm.MP3_IsPlaying(), c.playing) << c.mode;
    }
}

TEST(WavPlayer, LoopsOnlyWithAnOutputDevice) {
    struct Case {
        int devices;
        bool result;
        std::vector<std::string> calls;
        int32_t last;
    } cases[] = {
        {1, true, {"loop /m/a.wav"}, 1},
        {2, false, {"loop /m/a.wav"}, 0},
        {0, true, {}, 12345},
        {-1, true, {}, 12345},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.settings.BgmFile = "/m/a.wav";
        f.sound.devices = c.devices;
        f.sound.playResult = c.result;
        f.bgm.WAV_Play();
        EXPECT_EQ(f.sound.calls, c.calls);
        EXPECT_EQ(f.last, c.last);
    }
    Fixture f;
    f.bgm.WAV_Stop();
    EXPECT_EQ(f.sound.calls, std::vector<std::string>{"stop"});
    EXPECT_EQ(f.last, 1);
}

} // namespace
} // namespace mirevo
