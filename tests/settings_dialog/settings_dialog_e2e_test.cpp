// Mirevo.scr /c as a person uses it on a private X server: the window and its colours on the screen, a second
// start refused while it is open, and a music file chosen through the real file chooser and stored by OK.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "saver/startup/tovik_b.h"
#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;
using Rgb = std::array<uint8_t, 3>;

class ConfigureMode : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(x.ok());
        ASSERT_TRUE(copyPrograms(programs.path(), {"Mirevo.scr", "Mirevo.dll"}));
    }
    std::unique_ptr<ChildProcess> start(const std::string& argument) {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{programs / "Mirevo.scr", argument},
            std::map<std::string, std::optional<std::string>>{{"DISPLAY", server.display()},
                                                              {"HOME", home.path()},
                                                              {"XDG_RUNTIME_DIR", home.path()},
                                                              {"XDG_CACHE_HOME", home / "cache"},
                                                              {"XDG_CONFIG_HOME", home / "config"}});
    }
    // The dialog's window once it shows its painted background.
    unsigned long waitForDialog(ChildProcess& saver) {
        unsigned long window = 0;
        pollUntil(10s, [&] {
            window = x.findWindow("<Mirevo>");
            auto shot = window && x.mapped(window) ? x.screenshot(window) : std::nullopt;
            return shot && shot->at(0, 0) == Rgb{0, 0, 30};
        });
        EXPECT_NE(window, 0u) << saver.errors();
        return window;
    }
    std::string settingsFile() const { return settingsFilePath(programs.path()); }

    Xvfb server{1024, 768};
    XClient x{server.display()};
    TempDir programs, home;
};

TEST_F(ConfigureMode, ShowsThePaintedWindowRefusesASecondStartAndAStopSignalWritesNothing) {
    auto saver = start("/c");
    const unsigned long window = waitForDialog(*saver);
    ASSERT_NE(window, 0u);
    const auto place = x.geometry(window);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->width, 496);
    EXPECT_EQ(place->height, 243);
    EXPECT_EQ(place->x, 264); // centred, a third down; no window manager, so no frame
    EXPECT_EQ(place->y, 175);

    const auto shot = x.screenshot(window);
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->at(2, 0), (Rgb{0, 0, 30}));
    for (int y = 117; y <= 126; ++y)
        EXPECT_EQ(shot->at(2, y), (Rgb{220, 220, 250})) << y;
    EXPECT_EQ(shot->at(2, 242), (Rgb{3, 3, 33}));
    EXPECT_EQ(shot->at(12 + 200, 16), (Rgb{30, 30, 30}));               // the panel's top row
    EXPECT_EQ(shot->at(12 + 20, 16 + 30), (Rgb{0, 0, 0}));              // the heading's frame, left side
    EXPECT_EQ(shot->at(12 + 28, 16 + 56), (Rgb{37, 37, 37}));           // the CD row's mark, framed
    EXPECT_EQ(shot->at(12 + 28 + 5, 16 + 76 + 6), (Rgb{49, 177, 255})); // "なし" selected on a first start
    EXPECT_EQ(shot->at(12 + 112 + 8, 16 + 52 + 10), (Rgb{255, 255, 255})); // the track combo's field

    for (const char* again : {"/c", "/s", "/p 1"}) {
        auto second = start(again);
        EXPECT_EQ(second->waitExit(5s), std::optional<int>(0)) << again;
    }
    EXPECT_TRUE(saver->running());

    kill(saver->pid(), SIGTERM);
    EXPECT_EQ(saver->waitExit(5s), std::optional<int>(0)) << saver->errors();
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

} // namespace
} // namespace mirevo::test
