// Mirevo.scr /c as a person uses it on a private X server: the window and its colours on the screen, a second
// start refused while it is open, and a music file chosen through the real file chooser and stored by OK.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <set>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "common/x11/x11_active_window.h"
#include "saver/settings_dialog/x11_frame_extents.h"
#include "shared/settings_file/tovik_b.h"
#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/settings_link.h"
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
    // Chooses "MP3、WAV", then "...": the file chooser's window, or 0 when it did not show.
    unsigned long openChooser(const Geometry& dialog) {
        x.click(dialog.x + 12 + 44 + 10, dialog.y + 16 + 96 + 6);
        x.click(dialog.x + 12 + 28 + 20, dialog.y + 16 + 116 + 10);
        unsigned long chooser = 0;
        pollUntil(10s, [&] {
            chooser = x.findWindow("ﾌｧｲﾙを開く");
            return chooser && x.mapped(chooser);
        });
        return chooser;
    }

    Xvfb server{1024, 768};
    XClient x{server.display()};
    TempDir programs, home;
};

TEST_F(ConfigureMode, ShowsThePaintedWindowRefusesASecondStartAndEndsOnAStopSignalWritingNothing) {
    auto saver = start("/c");
    const unsigned long window = waitForDialog(*saver);
    ASSERT_NE(window, 0u);
    const auto place = x.geometry(window);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->width, 496);
    EXPECT_EQ(place->height, 243);

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
    EXPECT_EQ(shot->at(324 + 38, 200 + 1), (Rgb{0x00, 0x3C, 0x74})); // "設定" and "ｷｬﾝｾﾙ", navy frames
    EXPECT_EQ(shot->at(404 + 38, 200 + 1), (Rgb{0x00, 0x3C, 0x74}));
    EXPECT_EQ(shot->at(12 + 28 + 20, 16 + 116 + 1), (Rgb{0xC9, 0xC7, 0xBA})); // "..." greyed out

    for (const char* again : {"/c", "/s", "/p 1"}) {
        auto second = start(again);
        EXPECT_EQ(second->waitExit(5s), std::optional<int>(0)) << again;
    }
    EXPECT_TRUE(saver->running());

    // Asked to end while the file chooser is open over it.
    ASSERT_NE(openChooser(*place), 0u);
    kill(saver->pid(), SIGTERM);
    EXPECT_EQ(saver->waitExit(5s), std::optional<int>(0)) << saver->errors();
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

TEST_F(ConfigureMode, AFileChosenInTheRealChooserIsStoredByOk) {
    const std::string music = home / "Music/song.mp3";
    ASSERT_TRUE(writeFile(music, ""));
    auto saver = start("/c");
    const unsigned long window = waitForDialog(*saver);
    ASSERT_NE(window, 0u);
    const auto at = x.geometry(window);
    ASSERT_TRUE(at);
    const unsigned long chooser = openChooser(*at);
    ASSERT_NE(chooser, 0u) << saver->errors();
    x.focus(chooser);
    ChildProcess typing({"/usr/bin/xdotool", "type", "--delay", "10", music},
                        {{"DISPLAY", server.display()}});
    EXPECT_EQ(typing.waitExit(20s), std::optional<int>(0));
    // The first Return may only take the completion the chooser offers for the typed name.
    bool accepted = false;
    for (int press = 0; press < 3 && !accepted; ++press) {
        x.sendKey("Return");
        accepted = x.waitForNoWindow("ﾌｧｲﾙを開く", 3s);
    }
    ASSERT_TRUE(accepted);
    x.click(at->x + 324 + 38, at->y + 200 + 12); // "設定"
    EXPECT_EQ(saver->waitExit(5s), std::optional<int>(0)) << saver->errors();
    EXPECT_EQ(Ini_Read(kIniSection, kIniKeyBgmKind, settingsFile()), "2");
    EXPECT_EQ(Ini_Read(kIniSection, kIniKeyBgmRepeat, settingsFile()), "0");
    EXPECT_EQ(Ini_Read(kIniSection, kIniKeyBgmFile, settingsFile()), music);
}

TEST_F(ConfigureMode, UnderAWindowManagerTheFrameHasOnlyACloseBoxIsCentredAndItsCloseWritesNothing) {
    ChildProcess manager({"/usr/bin/openbox"}, {{"DISPLAY", server.display()}, {"HOME", home.path()}});
    Display* display = x.display();
    // Ready once it answers what frame a window would get.
    const Window probe = XCreateSimpleWindow(display, x.root(), 0, 0, 10, 10, 0, 0, 0);
    ASSERT_TRUE(pollUntil(10s, [&] { return x11FrameExtents(display, probe, 200ms).top > 0; }))
        << manager.errors();

    auto saver = start("/c");
    const unsigned long window = waitForDialog(*saver);
    ASSERT_NE(window, 0u);
    // A caption and a close box: the window manager offers neither minimising nor maximising it.
    std::set<std::string> actions;
    ASSERT_TRUE(pollUntil(5s, [&] {
        for (long atom : x11LongList(display, window, "_NET_WM_ALLOWED_ACTIONS", XA_ATOM)) {
            std::unique_ptr<char, int (*)(void*)> name(XGetAtomName(display, Atom(atom)), XFree);
            actions.insert(name.get());
        }
        return !actions.empty();
    }));
    EXPECT_EQ(actions.count("_NET_WM_ACTION_CLOSE"), 1u);
    for (const char* refused : {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ",
                                "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"})
        EXPECT_EQ(actions.count(refused), 0u) << refused;

    const std::vector<long> frame =
        x11LongList(display, window, "_NET_FRAME_EXTENTS", XA_CARDINAL); // left, right, top, bottom
    ASSERT_EQ(frame.size(), 4u);
    EXPECT_GT(frame[2], 0) << "no title bar";
    const auto client = x.geometry(window);
    ASSERT_TRUE(client);
    const int outerWidth = client->width + int(frame[0] + frame[1]);
    const int outerHeight = client->height + int(frame[2] + frame[3]);
    EXPECT_EQ(client->x - frame[0], (1024 - outerWidth) / 2);
    EXPECT_EQ(client->y - frame[2], (768 - outerHeight) / 3);

    // Closed the way its close box closes it.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
    close.xclient.format = 32;
    close.xclient.data.l[1] = 2; // from a pager or a taskbar, as a user's click
    XSendEvent(display, x.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &close);
    x.sync();
    EXPECT_EQ(saver->waitExit(5s), std::optional<int>(0)) << saver->errors();
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

// A stop signal from the first instant on closes the dialog as its close box does, also one that comes while
// the window exists but is still growing out of the pointer.
TEST_F(ConfigureMode, AStopSignalInItsFirstMomentsEndsIt) {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        for (const int moment : {0, 1, 2}) { // at once; once its window exists; once it is shown
            SCOPED_TRACE("signal " + std::to_string(signal) + ", moment " + std::to_string(moment));
            auto saver = start("/c");
            ASSERT_TRUE(moment == 0 || pollUntil(10s, [&] {
                            const unsigned long window = x.findWindow("<Mirevo>");
                            return window && (moment == 1 || x.mapped(window));
                        }));
            kill(saver->pid(), signal);
            const auto code = saver->waitExit(10s);
            ASSERT_TRUE(code) << "still open";
            // Before its first instruction a program can only be ended by the signal itself.
            EXPECT_TRUE(*code == 0 || (moment == 0 && *code == 128 + signal)) << *code << saver->errors();
            EXPECT_EQ(x.findWindow("<Mirevo>"), 0u);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

// A user who lost the dialog behind other windows and starts the saver again gets it back in front, focused.
// (Under openbox it cannot be minimised: its frame has no such box.)
TEST_F(ConfigureMode, ASecondStartBringsTheDialogToTheFront) {
    ChildProcess manager({"/usr/bin/openbox", "--sm-disable"},
                         {{"DISPLAY", server.display()}, {"HOME", home.path()}});
    Display* display = x.display();
    const Window probe = XCreateSimpleWindow(display, x.root(), 0, 0, 10, 10, 0, 0, 0);
    ASSERT_TRUE(pollUntil(10s, [&] { return x11FrameExtents(display, probe, 200ms).top > 0; }));
    auto saver = start("/c");
    const unsigned long window = waitForDialog(*saver);
    ASSERT_NE(window, 0u);
    const auto activeIs = [&](unsigned long which) {
        const std::vector<long> ids = x11LongList(display, x.root(), "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return !ids.empty() && static_cast<unsigned long>(ids[0]) == which;
    };
    // Another program's window over the dialog, given the focus as a user's click would.
    const Window other = XCreateSimpleWindow(display, x.root(), 0, 0, 800, 600, 0, 0, 0);
    XMapRaised(display, other);
    for (const char* again : {"/c", "/s"}) {
        x11AskToActivate(display, other, ActivationSource::Pager);
        XFlush(display);
        ASSERT_TRUE(pollUntil(10s, [&] { return activeIs(other); }))
            << "the other window never took the focus";
        EXPECT_EQ(start(again)->waitExit(10s), std::optional<int>(0)) << again;
        EXPECT_TRUE(pollUntil(10s, [&] { return x.mapped(window) && activeIs(window); }))
            << again << " left it behind";
    }
    XDestroyWindow(display, other);
    EXPECT_TRUE(saver->running());
}

// Asks the window's client for a _NET_WM_PING and waits for its answer: every event the server sent that
// client before has then been read by it.
bool pingAnswered(XClient& x, unsigned long window) {
    Display* display = x.display();
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    static long stamp = 0;
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = window;
    request.xclient.message_type = protocols;
    request.xclient.format = 32;
    request.xclient.data.l[0] = long(ping);
    request.xclient.data.l[1] = ++stamp;
    request.xclient.data.l[2] = long(window);
    // The answer goes to the root, to whoever listens there for structure changes.
    XSelectInput(display, x.root(), StructureNotifyMask);
    XSendEvent(display, window, False, NoEventMask, &request);
    x.sync();
    return pollUntil(10s, [&] {
        XEvent answer{};
        while (XCheckTypedEvent(display, ClientMessage, &answer))
            if (answer.xclient.message_type == protocols && answer.xclient.data.l[0] == long(ping) &&
                answer.xclient.data.l[1] == stamp)
                return true;
        return false;
    });
}

// The right or the middle button pressed on the lit ｷｬﾝｾﾙ of a dialog that is not yet active: the press makes
// it active and gives the button the focus, and the face stays lit; only the left button sinks it into the
// Pressed face. The release is a click, as on any Command button, and Cancel closes the dialog.
TEST_F(ConfigureMode, AnotherButtonThanTheLeftNeverShowsThePressedFace) {
    for (const auto& [button, pressedFace] : {std::pair(3, false), std::pair(2, false), std::pair(1, true)}) {
        SCOPED_TRACE("mouse button " + std::to_string(button));
        x.movePointer(5, 5);
        auto saver = start("/c");
        const unsigned long window = waitForDialog(*saver);
        ASSERT_NE(window, 0u);
        const auto at = x.geometry(window);
        ASSERT_TRUE(at);
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(x.display(), &focus, &revert);
        ASSERT_NE(focus, window) << "the dialog must not be active yet";
        // ｷｬﾝｾﾙ: 77 x 25 at (404, 200). Its face at (38, 2) and (30, 3); the lit face is warm under the
        // frame, the Pressed one has the navy frame there and a grey shade inside it.
        const auto face = [&] {
            auto shot = x.screenshot(window);
            return shot ? std::pair(shot->at(404 + 38, 200 + 2), shot->at(404 + 30, 200 + 3))
                        : std::pair(Rgb{}, Rgb{});
        };
        const Rgb lit{0xFF, 0xF0, 0xCF}, navy{0x00, 0x3C, 0x74}, pressedShade{0xD1, 0xCC, 0xC1};
        x.movePointer(at->x + 404 + 38, at->y + 200 + 12);
        ASSERT_TRUE(pollUntil(10s, [&] { return face().first == lit; })) << "never lit";

        x.pressButton(button);
        // The press asks for the focus; once the server gave it, the dialog's own answers to pings say it has
        // taken it, handled it and shown what followed.
        ASSERT_TRUE(pollUntil(10s, [&] {
            XGetInputFocus(x.display(), &focus, &revert);
            return focus == window;
        }));
        for (int round = 0; round < 3; ++round)
            ASSERT_TRUE(pingAnswered(x, window));
        const auto [top, inside] = face();
        EXPECT_EQ(top, pressedFace ? navy : lit);
        EXPECT_EQ(inside == pressedShade, pressedFace) << "the Pressed face";

        x.releaseButton(button);
        EXPECT_EQ(saver->waitExit(10s), std::optional<int>(0)) << saver->errors();
    }
}

TEST(SettingsLink, FromTheBuildFolderOpensTheSourceTreesReadme) {
    const LinkResult link = addressTheLinkOpens(builtProgram("Mirevo.scr"));
    ASSERT_EQ(link.failure, "");
    EXPECT_EQ(link.address, "file://" + std::filesystem::canonical(MIREVO_SOURCE_DIR "/README.md").string());
}

} // namespace
} // namespace mirevo::test
