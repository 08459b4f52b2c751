// Mirevo.scr /s under the compositors of KDE Plasma (kwin_wayland --virtual) and GNOME (mutter --headless):
// where the picture comes from there, and the viewer's surfaces (the layer shell's overlay under KWin, a
// full-screen toplevel under Mutter, which offers no layer shell).
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/harness/child_process.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/headless_desktops.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"

namespace mirevo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class UnderDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.ok());
        ASSERT_TRUE(copyPrograms(programs.path(), {"Mirevo.scr", "Mirevo.dll"}));
    }
    // The compositor on the socket "desktop-0" of its runtime folder, once that socket answers.
    bool startCompositor(Desktop which, std::vector<std::string> flags,
                         std::map<std::string, std::optional<std::string>> env = {}) {
        compositor = std::make_unique<HeadlessDesktop>(
            which, DesktopOptions{800, 600, "desktop-0", bus.address(), std::move(flags), std::move(env)});
        return compositor->ok();
    }
    const std::string& runtime() const { return compositor->runtime(); }
    std::unique_ptr<ChildProcess> saver() {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{programs / "Mirevo.scr", "/s"},
            std::map<std::string, std::optional<std::string>>{{"WAYLAND_DISPLAY", compositor->socketName()},
                                                              {"DISPLAY", std::nullopt},
                                                              {"XDG_RUNTIME_DIR", runtime()},
                                                              {"HOME", runtime()},
                                                              {"DBUS_SESSION_BUS_ADDRESS", bus.address()},
                                                              {"MIREVO_VIEWER_TRACE", "1"},
                                                              {"LIBGL_ALWAYS_SOFTWARE", "1"}});
    }
    // The snapshot's pixel at the picture's middle (the picture mirrored makes no difference there).
    std::optional<Rgb> snapshotMiddle(int& width, int& height) {
        const auto file = readBytes(runtime() + "/Tovik.bmp");
        if (file.size() <= 54) return std::nullopt;
        width = int(le32(&file[18])), height = int(le32(&file[22]));
        const uint8_t* bgr = &file[54 + size_t(height / 2) * bmpRowBytes(width) + size_t(width / 2) * 3];
        return Rgb{bgr[2], bgr[1], bgr[0]};
    }
    void endsOnAStopSignal(ChildProcess& session) {
        kill(session.pid(), SIGTERM);
        EXPECT_EQ(session.waitExit(5s), 0) << session.errors();
    }

    TempDir programs, share;
    DBusSession bus{{}, DBusSession::Activation::Off};
    std::unique_ptr<HeadlessDesktop> compositor;
};

TEST_F(UnderDesktop, KWinGivesItsPictureToTheProgramItsEntryNames) {
    if (const std::string why = HeadlessDesktop::unavailableReason(Desktop::KWin); !why.empty())
        GTEST_SKIP() << why;
    if (access("/usr/bin/swaybg", X_OK) != 0) GTEST_SKIP() << "swaybg is not installed (apt-get install swaybg)";
    // The saver's entry as the install writes it, naming the program where this test put it.
    ASSERT_TRUE(writeFile(share / "applications/io.github.mirevo.Mirevo.Saver.desktop",
                          "[Desktop Entry]\nType=Application\nName=Mirevo\nExec=" + programs / "Mirevo.scr" +
                              " /s\nNoDisplay=true\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n"));
    ASSERT_TRUE(startCompositor(Desktop::KWin, {"--no-lockscreen", "--no-global-shortcuts"},
                                {{"XDG_DATA_DIRS", share.path() + ":/usr/share"}}))
        << compositor->errors();
    // A red desktop: a background on KWin's layer shell.
    ChildProcess background({"/usr/bin/swaybg", "-c", "#ff0000"},
                            {{"XDG_RUNTIME_DIR", runtime()},
                             {"WAYLAND_DISPLAY", compositor->socketName()},
                             {"DISPLAY", std::nullopt}});
    // swaybg draws once it is configured; the screenshot service is the one way to see it.
    std::unique_ptr<ChildProcess> session;
    int width = 0, height = 0;
    ASSERT_TRUE(pollUntil(60s, [&] {
        if (session) session->terminate();
        fs::remove(runtime() + "/Tovik.bmp");
        session = saver();
        pollUntil(20s, [&] { return session->errors().find("first-frame") != std::string::npos || !session->running(); });
        const auto middle = snapshotMiddle(width, height);
        return middle && *middle == Rgb{255, 0, 0};
    })) << session->errors() << compositor->errors();
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    EXPECT_NE(session->errors().find("layer-shell overlay"), std::string::npos) << session->errors();
    endsOnAStopSignal(*session);
}

TEST_F(UnderDesktop, MutterWithASilentPortalShowsMirevosOwnPictureOnAFullScreenToplevel) {
    if (const std::string why = HeadlessDesktop::unavailableReason(Desktop::Mutter); !why.empty())
        GTEST_SKIP() << why;
    ASSERT_TRUE(startCompositor(Desktop::Mutter, {})) << compositor->errors();
    // A portal that never answers: the saver waits its few seconds for it, and the session's own timers and
    // signals must not run meanwhile (a session ended before it began would never end).
    // The permission store holds the yes, so that the portal is asked at all.
    ChildProcess portal({MIREVO_FAKE_SERVICES, "portal-silent", "", "--store", "yes"},
                        {{"DBUS_SESSION_BUS_ADDRESS", bus.address()}, {"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_TRUE(pollUntil(20s, [&] { return portal.output() == "ready\n" || !portal.running(); })) << portal.errors();
    auto session = saver();
    ASSERT_TRUE(pollUntil(30s, [&] {
        return session->errors().find("first-frame") != std::string::npos || !session->running();
    })) << session->errors();
    EXPECT_NE(session->errors().find("the desktop portal's Screenshot: no picture in time"), std::string::npos)
        << session->errors();
    EXPECT_NE(session->errors().find("full-screen toplevel"), std::string::npos) << session->errors();
    EXPECT_NE(session->errors().find("the floor shows Mirevo's own picture"), std::string::npos) << session->errors();
    int width = 0, height = 0;
    const auto middle = snapshotMiddle(width, height);
    ASSERT_TRUE(middle);
    EXPECT_NE(*middle, (Rgb{0, 0, 0}));
    endsOnAStopSignal(*session);
}

} // namespace
} // namespace mirevo::test
