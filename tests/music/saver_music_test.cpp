// The whole saver with music: Mirevo.scr /s beside its viewer and a Mirevo.ini, under a private X server,
// with its sound going to SDL's disk audio file.
#include <chrono>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"
#include "tests/music/sound_fixtures.h"

namespace mirevo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

enum class Source { Tone, Disc, Fifo };

struct Case {
    const char* name;
    int kind, repeat;
    Source source;
    const char* file;          // made in the folder "with blanks"
    std::vector<double> made;  // the tone, or each track's (0 for a data track)
    std::vector<double> heard; // none: nothing at all is heard
};

class SaverMusic : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        for (const char* sub : {"programs", "with blanks", "runtime", "home", "cache", "config"})
            fs::create_directories(folder / sub);
        fs::permissions(folder / "runtime", fs::perms::owner_all);
        ASSERT_TRUE(copyPrograms(folder / "programs", {"Mirevo.scr", "Mirevo.dll"}));
    }

    TempDir dir;
    const fs::path folder{dir.path()};
};

TEST_P(SaverMusic, PlaysWhileTheViewerRunsAndEndsSoonAfterEscape) {
    const Case& c = GetParam();
    const fs::path source = folder / "with blanks" / c.file;
    if (c.source == Source::Tone) {
        ASSERT_TRUE(makeTone(source, c.made[0], 1.0));
    } else if (c.source == Source::Disc) {
        makeDiscImage(source, c.made);
    } else {
        ASSERT_EQ(::mkfifo(source.c_str(), 0600), 0);
    }
    const std::string musicFile = c.kind == 2 ? source.string() : "";
    std::ofstream(folder / "programs" / "Mirevo.ini")
        << "[Section]\nBGM区分=" << c.kind << "\nBGMﾘﾋﾟｰﾄ=" << c.repeat << "\nBGMﾌｧｲﾙ=" << musicFile << "\n";

    Xvfb server(640, 480);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    const fs::path heardFile = folder / "heard.raw";
    auto privateFolder = [&](const char* sub) { return std::optional((folder / sub).string()); };
    ChildProcess saver({(folder / "programs" / "Mirevo.scr").string(), "/s"},
                       {{"DISPLAY", server.display()},
                        {"HOME", privateFolder("home")},
                        {"XDG_RUNTIME_DIR", privateFolder("runtime")},
                        {"XDG_CACHE_HOME", privateFolder("cache")},
                        {"XDG_CONFIG_HOME", privateFolder("config")},
                        {"SDL_AUDIODRIVER", "disk"},
                        {"SDL_DISKAUDIOFILE", heardFile.string()},
                        {"MIREVO_CD_DEVICE", c.kind == 1 ? std::optional(source.string()) : std::nullopt}});
    const unsigned long viewer = client.waitForWindow("Tovik_VC", 30s);
    ASSERT_NE(viewer, 0u) << saver.errors();

    if (c.heard.empty()) {
        // Long enough for the CD monitor to have started the disc three times.
        EXPECT_FALSE(pollUntil(600ms, [&] {
            auto heard = readLeftChannel(heardFile);
            return std::any_of(heard.begin(), heard.end(), [](int16_t s) { return s != 0; });
        }));
    } else {
        // Every tone of the music is heard while the viewer runs.
        EXPECT_TRUE(pollUntil(30s, [&] {
            auto heard = readLeftChannel(heardFile);
            for (double hz : c.heard)
                if (windowsWithTone(heard, RATE / 10, hz, 2000) < 3) return false;
            return true;
        }));
    }
    EXPECT_TRUE(saver.running());

    // Focus goes only to a mapped window; a key sent before that would go to the root.
    ASSERT_TRUE(pollUntil(10s, [&] { return client.mapped(viewer); }));
    client.focus(viewer);
    client.sendKey("Escape");
    const auto escaped = std::chrono::steady_clock::now();
    ASSERT_EQ(saver.waitExit(10s), std::optional<int>(0)) << saver.errors();
    // Soon after: the watch looks twice a second; a busy machine may add a second or two.
    EXPECT_LE(std::chrono::steady_clock::now() - escaped, 4s);
    std::error_code error;
    const auto size = fs::file_size(heardFile, error);
    EXPECT_FALSE(pollUntil(500ms, [&] { return fs::file_size(heardFile, error) != size; }));
}

auto caseName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(
    Music, SaverMusic,
    ::testing::Values(Case{"mp3", 2, 0, Source::Tone, "tone 440.mp3", {440}, {440}},
                      Case{"wav", 2, 0, Source::Tone, "tone 660.wav", {660}, {660}},
                      Case{"disc", 1, 0, Source::Disc, "disc.cue", {500, 1000, 1500}, {500, 1000, 1500}}),
    caseName);

// A FIFO would hold the open of a music file or a CD source until something wrote to it.
INSTANTIATE_TEST_SUITE_P(SourceThatWouldBlock, SaverMusic,
                         ::testing::Values(Case{"music_file", 2, 0, Source::Fifo, "x.wav", {}, {}},
                                           Case{"cd_source", 1, 0, Source::Fifo, "drive", {}, {}}),
                         caseName);

// Only audio tracks play: "repeat track 3" names no track when the third is data; a mixed-mode disc
// (data first) plays its audio tracks.
INSTANTIATE_TEST_SUITE_P(
    DiscWithADataTrack, SaverMusic,
    ::testing::Values(Case{"third_repeat_3", 1, 3, Source::Disc, "disc.cue", {500, 1000, 0}, {}},
                      Case{"first_repeat_0", 1, 0, Source::Disc, "disc.cue", {0, 500, 1000}, {500, 1000}}),
    caseName);

} // namespace
} // namespace mirevo::test
