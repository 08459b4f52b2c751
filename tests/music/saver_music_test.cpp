// The whole saver with music: Mirevo.scr /s beside its viewer and a Mirevo.ini, under a private X server,
// with its sound going to SDL's disk audio file.
#include <chrono>
#include <filesystem>
#include <fstream>

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

struct Case {
    const char* name;
    int kind;
    const char* file; // made in the folder "with blanks"; empty for the disc
    std::vector<double> heard;
};

class SaverMusic : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        fs::create_directories(folder / "programs");
        fs::create_directories(folder / "with blanks");
        fs::create_directories(folder / "runtime");
        fs::permissions(folder / "runtime", fs::perms::owner_all);
        ASSERT_TRUE(copyPrograms(folder / "programs", {"Mirevo.scr", "Mirevo.dll"}));
    }

    TempDir dir;
    const fs::path folder{dir.path()};
};

TEST_P(SaverMusic, PlaysWhileTheViewerRunsAndStopsAfterEscape) {
    const Case& c = GetParam();
    std::string musicFile, cdDevice;
    if (c.kind == 2) {
        fs::path file = folder / "with blanks" / c.file;
        ASSERT_TRUE(makeTone(file, c.heard[0], 1.0));
        musicFile = file.string();
    } else {
        cdDevice = (folder / "with blanks" / "disc.cue").string();
        makeDiscImage(cdDevice, c.heard);
    }
    std::ofstream(folder / "programs" / "Mirevo.ini")
        << "[Section]\nBGM区分=" << c.kind << "\nBGMﾘﾋﾟｰﾄ=0\nBGMﾌｧｲﾙ=" << musicFile << "\n";

    Xvfb server(640, 480);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    const fs::path heardFile = folder / "heard.raw";
    ChildProcess saver({(folder / "programs" / "Mirevo.scr").string(), "/s"},
                       {{"DISPLAY", server.display()},
                        {"XDG_RUNTIME_DIR", (folder / "runtime").string()},
                        {"SDL_AUDIODRIVER", "disk"},
                        {"SDL_DISKAUDIOFILE", heardFile.string()},
                        {"MIREVO_CD_DEVICE", cdDevice.empty() ? std::nullopt : std::optional(cdDevice)}});
    const unsigned long viewer = client.waitForWindow("Tovik_VC", 30s);
    ASSERT_NE(viewer, 0u) << saver.errors();

    // Every tone of the music is heard while the viewer runs.
    bool allHeard = pollUntil(30s, [&] {
        auto heard = readLeftChannel(heardFile);
        for (double hz : c.heard)
            if (windowsWithTone(heard, RATE / 10, hz, 2000) < 3) return false;
        return true;
    });
    EXPECT_TRUE(allHeard);
    EXPECT_TRUE(saver.running());

    // Focus goes only to a mapped window; a key sent before that would go to the root.
    ASSERT_TRUE(pollUntil(10s, [&] { return client.mapped(viewer); }));
    client.focus(viewer);
    client.sendKey("Escape");
    ASSERT_EQ(saver.waitExit(10s), std::optional<int>(0)) << saver.errors();
    const auto size = fs::file_size(heardFile);
    EXPECT_FALSE(pollUntil(500ms, [&] { return fs::file_size(heardFile) != size; }));
}

INSTANTIATE_TEST_SUITE_P(Music, SaverMusic,
                         ::testing::Values(Case{"mp3", 2, "tone 440.mp3", {440}},
                                           Case{"wav", 2, "tone 660.wav", {660}},
                                           Case{"disc", 1, "", {500, 1000, 1500}}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace mirevo::test
