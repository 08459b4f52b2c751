// Mirevo.scr as the screen-saver machinery runs it, on a private X server with a known desktop picture.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

const std::string kSaver = builtProgram("Mirevo.scr");

// Every pixel different from its mirror image and from the pixel of the row above or below.
Image desktopPicture(int width, int height) {
    return makeImage(width, height, [&](int x, int y) {
        return std::array<uint8_t, 3>{uint8_t(x * 255 / (width - 1)), uint8_t(y * 255 / (height - 1)),
                                      uint8_t((x * 7 + y * 3) & 0xff)};
    });
}

// Compares the snapshot file with the desktop picture, mirrored and bottom-up; returns what differs.
std::string snapshotDifference(const std::vector<uint8_t>& file, const Image& desktop) {
    const int w = desktop.width, h = desktop.height;
    const size_t rowSize = bmpRowBytes(w);
    if (file.size() != 54 + rowSize * h) return "size " + std::to_string(file.size());
    if (file[0] != 'B' || file[1] != 'M' || le32(&file[10]) != 54 || le32(&file[18]) != uint32_t(w) ||
        le32(&file[22]) != uint32_t(h) || le16(&file[28]) != 24 || le32(&file[30]) != 0)
        return "headers";
    for (int row = 0; row < h; ++row)
        for (int column = 0; column < w; ++column) {
            auto expected = desktop.at(w - 1 - column, h - 1 - row);
            const uint8_t* bgr = &file[54 + size_t(row) * rowSize + size_t(column) * 3];
            if (bgr[2] != expected[0] || bgr[1] != expected[1] || bgr[0] != expected[2])
                return "pixel at file row " + std::to_string(row) + ", column " + std::to_string(column);
        }
    return {};
}

class SaverSession : public ::testing::Test {
protected:
    static constexpr int kWidth = 1023, kHeight = 767; // odd sizes: row padding and an uneven middle

    void SetUp() override {
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(client.ok());
        client.setRootPicture(desktop);
        ASSERT_EQ(access(kSaver.c_str(), X_OK), 0) << kSaver;
    }

    // No session bus in it: the saver and its viewer must then start none (nothing but the snapshot is left
    // in the runtime folder, where a started bus daemon would leave its dbus-1 folder).
    std::map<std::string, std::optional<std::string>> environment() const {
        return {{"DISPLAY", server.display()},
                {"XDG_RUNTIME_DIR", runtime.path()},
                {"DBUS_SESSION_BUS_ADDRESS", std::nullopt}};
    }
    std::unique_ptr<ChildProcess> startSaver(const std::string& program,
                                             const std::vector<std::string>& args) {
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), args.begin(), args.end());
        return std::make_unique<ChildProcess>(argv, environment());
    }
    void pressKeyIn(unsigned long window, const std::string& key) {
        ASSERT_TRUE(pollUntil(10s, [&] { return client.mapped(window); })) << "window never shown";
        client.focus(window);
        client.sendKey(key);
    }

    Xvfb server{kWidth, kHeight};
    XClient client{server.display()};
    TempDir runtime;
    Image desktop = desktopPicture(kWidth, kHeight);
};

TEST_F(SaverSession, RunWritesTheMirroredDesktopStartsTheViewerAndEndsAfterIt) {
    auto saver = startSaver(kSaver, {"/s"});
    const unsigned long viewer = client.waitForWindow("Tovik_VC", 30s);
    ASSERT_NE(viewer, 0u) << saver->errors();

    // The snapshot was complete before the viewer existed.
    EXPECT_EQ(snapshotDifference(readBytes(runtime / "Tovik.bmp"), desktop), "");
    struct stat st {};
    ASSERT_EQ(lstat((runtime / "Tovik.bmp").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The viewer found that file: its floor shows the picture's colours, not the plain white of a missing
    // one.
    bool coloured = pollUntil(10s, [&] {
        auto shot = client.screenshot(client.root()); // the viewer's window is larger than this screen
        if (!shot) return false;
        int strong = 0;
        for (int y = 0; y < shot->height; y += 4)
            for (int x = 0; x < shot->width; x += 4) {
                auto c = shot->at(x, y);
                int hi = std::max({c[0], c[1], c[2]}), lo = std::min({c[0], c[1], c[2]});
                if (hi - lo > 80) ++strong;
            }
        return strong > 100;
    });
    EXPECT_TRUE(coloured);

    // The hidden session window marks the running session and is never shown.
    const unsigned long session = client.findWindow("Tovik_Main");
    ASSERT_NE(session, 0u);
    EXPECT_FALSE(client.mapped(session));

    // Any further start ends at once, without a second viewer.
    for (std::vector<std::string> args : {std::vector<std::string>{"/s"}, {"/c"}, {"/p", "1"}, {}}) {
        auto second = startSaver(kSaver, args);
        EXPECT_EQ(second->waitExit(5s), std::optional<int>(0)) << (args.empty() ? "" : args[0]);
    }
    EXPECT_TRUE(saver->running());

    pressKeyIn(viewer, "Escape");
    ASSERT_TRUE(client.waitForNoWindow("Tovik_VC", 10s));
    const auto viewerGone = std::chrono::steady_clock::now();
    EXPECT_EQ(saver->waitExit(2s), std::optional<int>(0)) << saver->errors();
    EXPECT_LT(std::chrono::steady_clock::now() - viewerGone, 1000ms);
    EXPECT_EQ(client.findWindow("Tovik_Main"), 0u);
    // The saver's own lines (the viewer shares its standard error and prints its pixel format there).
    EXPECT_EQ(saver->errors().find("Mirevo.scr"), std::string::npos) << saver->errors();

    // Nothing is left beside the snapshot.
    auto listing = startSaver("/bin/ls", {"-A", runtime.path()});
    listing->waitExit(5s);
    EXPECT_EQ(listing->output(), "Tovik.bmp\n");
}

TEST_F(SaverSession, SessionWaitsForASlowViewerOnABusyMachine) {
    // Every core busy four times over: the viewer then takes well over one watch period to open its window
    // (with one or two loops per core it can still make it in time, and the test would prove nothing).
    std::vector<std::unique_ptr<ChildProcess>> busy;
    for (unsigned i = 0; i < 4 * std::max(1u, std::thread::hardware_concurrency()); ++i)
        busy.push_back(
            std::make_unique<ChildProcess>(std::vector<std::string>{"/bin/sh", "-c", "while :; do :; done"}));

    const auto start = std::chrono::steady_clock::now();
    auto saver = startSaver(kSaver, {"/s"});
    const unsigned long viewer = client.waitForWindow("Tovik_VC", 60s);
    ASSERT_NE(viewer, 0u) << saver->errors();
    const auto appeared =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    RecordProperty("viewer_window_after_ms", int(appeared.count()));
    // A few watch periods later the session is still there, waiting for the viewer to end.
    EXPECT_FALSE(saver->waitExit(1500ms))
        << "the session ended under a running viewer, which appeared after " << appeared.count() << " ms";
    busy.clear();

    pressKeyIn(viewer, "Escape");
    EXPECT_EQ(saver->waitExit(15s), std::optional<int>(0)) << saver->errors();
}

// The new snapshot is written beside the old one, so on a disk with room for one every run after the first
// used to fail, and the viewer showed the first desktop for ever.
TEST_F(SaverSession, DiskWithRoomForOneSnapshotGetsAFreshOneEachRun) {
    const std::string disk = runtime / "small"; // room for one 1023 x 767 snapshot (2.25 MiB), not two
    ASSERT_EQ(mkdir(disk.c_str(), 0700), 0);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=4m,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    std::unique_ptr<const char, void (*)(const char*)> unmount(disk.c_str(),
                                                               [](const char* f) { umount2(f, MNT_DETACH); });
    auto env = environment();
    env["XDG_RUNTIME_DIR"] = disk;
    Image second = makeImage(kWidth, kHeight, [](int x, int y) {
        return std::array<uint8_t, 3>{uint8_t(y), uint8_t(x), 40};
    });
    for (const Image* picture : {&desktop, &second}) {
        client.setRootPicture(*picture);
        ChildProcess saver({kSaver, "/s"}, env);
        ASSERT_NE(client.waitForWindow("Tovik_VC", 30s), 0u) << saver.errors();
        EXPECT_EQ(snapshotDifference(readBytes(disk + "/Tovik.bmp"), *picture), "");
        kill(saver.pid(), SIGTERM);
        EXPECT_EQ(saver.waitExit(5s), std::optional<int>(0)) << saver.errors();
    }
}

// MIREVO_DEBUG=1 makes the saver and its viewer say which platform they chose and where the picture came from,
// and why; without it, not one debug line.
TEST_F(SaverSession, DebugLinesSayThePlatformAndThePictureSourceOnlyWhenAsked) {
    for (const bool debug : {true, false}) {
        auto env = environment();
        env["WAYLAND_DISPLAY"] = std::nullopt;
        env["MIREVO_DEBUG"] = debug ? std::optional<std::string>("1") : std::nullopt;
        ChildProcess saver({kSaver, "/s"}, env);
        ASSERT_NE(client.waitForWindow("Tovik_VC", 30s), 0u) << saver.errors();
        kill(saver.pid(), SIGTERM);
        ASSERT_EQ(saver.waitExit(10s), std::optional<int>(0)) << saver.errors();
        const std::string errors = saver.errors();
        const std::string lines[] = {
            "Mirevo.scr: debug: platform: x11 (WAYLAND_DISPLAY is not set)\n",
            "Mirevo.scr: debug: picture source: the X11 grab of the screen, 1023x767 at 0,0 (the platform is X11",
            // The saver names its choice to the viewer, which says so.
            "Mirevo.dll: debug: platform: x11 (MIREVO_PLATFORM=x11)\n",
        };
        for (const std::string& line : lines) {
            EXPECT_EQ(errors.find(line) != std::string::npos, debug) << "debug " << debug << ": " << errors;
        }
        if (!debug) {
            EXPECT_EQ(errors.find("debug:"), std::string::npos) << errors;
        }
    }
}

// An empty command line runs a session too, here from a folder whose name a shell would mangle.
TEST_F(SaverSession, ViewerInAFolderWithBlanksAndQuotesStarts) {
    TempDir parent;
    const std::string folder = parent / "my \"saver\" 'files' & more";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_TRUE(copyPrograms(folder, {"Mirevo.scr", "Mirevo.dll"}));
    auto saver = startSaver(folder + "/Mirevo.scr", {});
    const unsigned long viewer = client.waitForWindow("Tovik_VC", 30s);
    ASSERT_NE(viewer, 0u) << saver->errors();
    EXPECT_NE(client.findWindow("Tovik_Main"), 0u);
    pressKeyIn(viewer, "Escape");
    EXPECT_EQ(saver->waitExit(10s), std::optional<int>(0)) << saver->errors();
}

// A runtime folder the user may not write in and no HOME used to give no snapshot; a launcher or a logout
// ending the saver with a signal used to leave its viewer up without it.
TEST_F(SaverSession, ReadOnlyRuntimeFolderWithoutHomeGivesASnapshotAndTerminationEndsTheViewer) {
    ASSERT_EQ(chmod(runtime.path().c_str(), 0500), 0);
    TempDir cache;
    auto env = environment();
    env["HOME"] = std::nullopt;
    env["XDG_CACHE_HOME"] = cache.path();
    ChildProcess saver({kSaver, "/s"}, env);
    ASSERT_NE(client.waitForWindow("Tovik_VC", 30s), 0u) << saver.errors();
    EXPECT_EQ(snapshotDifference(readBytes(cache / "mirevo/Tovik.bmp"), desktop), "");
    kill(saver.pid(), SIGTERM);
    EXPECT_TRUE(client.waitForNoWindow("Tovik_VC", 2s)) << "the viewer ends with its saver";
    EXPECT_EQ(saver.waitExit(5s), std::optional<int>(0)) << "the close request ends the session normally";
    EXPECT_EQ(client.findWindow("Tovik_Main"), 0u);
}

TEST_F(SaverSession, UnknownSwitchEndsAtOnce) {
    auto saver = startSaver(kSaver, {"/a"});
    EXPECT_EQ(saver->waitExit(5s), std::optional<int>(0));
    EXPECT_EQ(client.findWindow("Tovik_VC"), 0u);
    EXPECT_EQ(client.findWindow("Mirevo (ScreenSaver)"), 0u);
}

TEST_F(SaverSession, MissingViewerShowsTheMessageAndEndsOnOk) {
    TempDir alone;
    const std::string saverAlone = alone / "Mirevo.scr";
    ASSERT_TRUE(copyPrograms(alone.path(), {"Mirevo.scr"}));

    for (std::string sw : {"/s", "/a", "/c"}) {
        SCOPED_TRACE(sw);
        auto saver = startSaver(saverAlone, {sw});
        const unsigned long box = client.waitForWindow("Mirevo (ScreenSaver)", 20s);
        ASSERT_NE(box, 0u) << saver->errors();
        EXPECT_TRUE(pollUntil(5s, [&] { return client.mapped(box); }));
        EXPECT_TRUE(saver->running()) << "the message waits for OK";
        EXPECT_EQ(client.findWindow("Tovik_Main"), 0u);
        pressKeyIn(box, "Return");
        EXPECT_EQ(saver->waitExit(5s), std::optional<int>(0));
        EXPECT_EQ(client.findWindow("Tovik_VC"), 0u);
    }
}

// Starts at the same instant could each pass the test for a running session or dialog before any had made its
// window: exactly one of them runs, whatever XDG_RUNTIME_DIR each has (a terminal's and an autostarted
// daemon's may differ); the others end at once.
TEST(SaverStartedManyTimesAtOnce, GivesOneSessionOrDialogEachTime) {
    Xvfb server(640, 480);
    XClient client(server.display());
    TempDir programs, home;
    ASSERT_TRUE(copyPrograms(programs.path(), {"Mirevo.scr"}));
    // A stand-in viewer that says when it has started (the session's load is done), and costs no GL.
    const std::string started = programs / "started";
    ASSERT_TRUE(writeFile(programs / "Mirevo.dll", "#!/bin/sh\ntouch '" + started + "'\nexec sleep 60\n"));
    ASSERT_EQ(chmod((programs / "Mirevo.dll").c_str(), 0700), 0);
    using Starts = std::vector<std::pair<std::string, std::string>>; // switch, runtime folder
    for (const Starts& starts : {Starts{{"/s", "a"}, {"/s", "a"}}, Starts{{"/s", "a"}, {"/s", "b"}},
                                 Starts{{"/s", "a"}, {"/c", "b"}}, Starts(10, {"/c", "a"})}) {
        for (int round = 0; round < (starts.size() > 2 ? 2 : 4); ++round) {
            SCOPED_TRACE(starts[0].first + " " + starts[1].first + starts[1].second + " x" +
                         std::to_string(starts.size()) + ", round " + std::to_string(round));
            std::remove(started.c_str());
            std::vector<std::unique_ptr<ChildProcess>> runs;
            for (const auto& [sw, runtime] : starts) {
                mkdir((home / runtime).c_str(), 0700);
                runs.push_back(std::make_unique<ChildProcess>(
                    std::vector<std::string>{programs / "Mirevo.scr", sw},
                    std::map<std::string, std::optional<std::string>>{{"DISPLAY", server.display()},
                                                                      {"HOME", home.path()},
                                                                      {"XDG_RUNTIME_DIR", home / runtime}}));
            }
            const auto running = [&] {
                return std::count_if(runs.begin(), runs.end(), [](auto& run) { return run->running(); });
            };
            EXPECT_TRUE(pollUntil(30s, [&] { return running() <= 1; })) << running() << " still run";
            const auto survivor =
                std::find_if(runs.begin(), runs.end(), [](auto& run) { return run->running(); });
            ASSERT_NE(survivor, runs.end());
            const bool session = starts[size_t(survivor - runs.begin())].first == "/s";
            ASSERT_TRUE(pollUntil(20s, [&] {
                return session ? access(started.c_str(), F_OK) == 0 : client.findWindow("<Mirevo>") != 0;
            })) << (*survivor)->errors();
            EXPECT_EQ(running(), 1);
            for (auto& run : runs) {
                if (run != *survivor) {
                    EXPECT_EQ(run->waitExit(0ms), std::optional<int>(0)) << run->errors();
                }
            }
            kill((*survivor)->pid(), SIGTERM);
            ASSERT_EQ((*survivor)->waitExit(10s), std::optional<int>(0)) << (*survivor)->errors();
        }
    }
}

// Each screen of a display has its own saver: sessions on ":N.0" and ":N.1" both run, and a second start on
// either screen ends at once, as on a display with one screen.
TEST(SaverOnTwoScreens, ASessionRunsOnEachScreenAndASecondOnEitherEnds) {
    Xvfb server(320, 240, 2);
    ASSERT_TRUE(server.ok());
    TempDir programs, home;
    ASSERT_TRUE(copyPrograms(programs.path(), {"Mirevo.scr"}));
    // A stand-in viewer that says on which screen it was started, and costs no GL.
    ASSERT_TRUE(writeFile(programs / "Mirevo.dll", "#!/bin/sh\ntouch \"$0.on$DISPLAY\"\nexec sleep 60\n"));
    ASSERT_EQ(chmod((programs / "Mirevo.dll").c_str(), 0700), 0);
    const auto start = [&](const std::string& screen) {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{programs / "Mirevo.scr", "/s"},
            std::map<std::string, std::optional<std::string>>{{"DISPLAY", server.display() + screen},
                                                              {"HOME", home.path()},
                                                              {"XDG_RUNTIME_DIR", home.path()}});
    };
    std::vector<std::unique_ptr<ChildProcess>> sessions;
    for (const std::string screen : {".0", ".1"}) {
        sessions.push_back(start(screen));
        const std::string started = programs / ("Mirevo.dll.on" + server.display() + screen);
        ASSERT_TRUE(pollUntil(20s, [&] { return access(started.c_str(), F_OK) == 0; }))
            << screen << ": " << sessions.back()->errors();
    }
    for (const std::string screen : {".0", ".1"})
        EXPECT_EQ(start(screen)->waitExit(10s), std::optional<int>(0)) << screen;
    for (auto& session : sessions) {
        ASSERT_TRUE(session->running()) << session->errors();
        kill(session->pid(), SIGTERM);
        EXPECT_EQ(session->waitExit(10s), std::optional<int>(0)) << session->errors();
    }
}

TEST(SaverWithoutDisplay, SaysSoInOneLineAndFails) {
    struct Case {
        const char* name;
        std::map<std::string, std::optional<std::string>> env;
    };
    const Case cases[] = {
        {"no DISPLAY", {{"DISPLAY", std::nullopt}}},
        {"Wayland only", {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", "wayland-0"}}},
        {"unreachable", {{"DISPLAY", ":9999"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChildProcess saver({kSaver, "/s"}, c.env);
        auto code = saver.waitExit(10s);
        ASSERT_TRUE(code);
        EXPECT_NE(*code, 0);
        EXPECT_LT(*code, 128) << "killed by a signal";
        const std::string errors = saver.errors();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_NE(errors.find("X"), std::string::npos) << errors;
    }
}

} // namespace
} // namespace mirevo::test
