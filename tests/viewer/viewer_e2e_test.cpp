// Mirevo.dll as the saver starts it, on a private Xvfb: its window, what it draws, and how it ends.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"
#include "tests/viewer/scene_math.h"

using namespace mirevo::test;
using namespace std::chrono_literals;

namespace {

const std::string kViewer = builtProgram("Mirevo.dll");
constexpr int kWidth = 1024, kHeight = 768;
constexpr int kTolerance = 40;

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0}, kBlack{0, 0, 0},
    kWhite{255, 255, 255};

class ViewerRun {
public:
    ViewerRun(const Xvfb& server, const TempDir& runtime)
        : started_(std::chrono::steady_clock::now()),
          process_({kViewer}, {{"DISPLAY", server.display()},
                               {"XDG_RUNTIME_DIR", runtime.path()},
                               {"LIBGL_ALWAYS_SOFTWARE", "1"},
                               {"SDL_VIDEODRIVER", "dummy"}, // must not keep the window off X
                               {"MIREVO_VIEWER_TRACE", "1"}}) {}
    ChildProcess& process() { return process_; }
    double secondsSinceStart() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    }

private:
    std::chrono::steady_clock::time_point started_;
    ChildProcess process_;
};

// Waits for the viewer's window to be mapped and a frame drawn on it: the floor at the centre (anything but
// black) in black space (a corner), not the desktop the screen showed before.
unsigned long waitForFirstFrame(XClient& client, ChildProcess& process) {
    unsigned long window = 0;
    pollUntil(30s, [&] {
        window = client.findWindow("Tovik_VC");
        if (!window || !client.mapped(window) || !process.running()) return !process.running();
        auto shot = client.screenshot(window);
        return shot && colourDistance(shot->at(kWidth / 2, kHeight / 2 + 60), kBlack) > kTolerance &&
               colourDistance(shot->at(5, 5), kBlack) <= kTolerance;
    });
    return window;
}
unsigned long waitForFirstFrame(XClient& client, ViewerRun& run) {
    return waitForFirstFrame(client, run.process());
}

std::string textProperty(Display* display, unsigned long window, const char* name, Atom type) {
    Atom atom = XInternAtom(display, name, False);
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(display, window, atom, 0, 256, False, type, &actualType, &format, &count, &after,
                           &data) == Success &&
        data) {
        text.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return text;
}

struct Sample {
    double s, t; // texture coordinates on the floor plane (outside 0..1: beyond the floor)
    Rgb expected;
};

// The picture's quadrants on the floor, and points of the floor's plane beyond its edges, which must be
// black.
const Sample kSamples[] = {
    {0.25, 0.75, kRed},
    {0.75, 0.75, kGreen},
    {0.25, 0.25, kBlue},
    {0.75, 0.25, kYellow},
    {0.5, -0.15, kBlack},
    {0.5, 1.15, kBlack},
    {-0.15, 0.5, kBlack},
    {1.15, 0.5, kBlack},
    {-0.1, -0.1, kBlack},
    {1.1, -0.1, kBlack},
    {0.2, -0.4, kBlack},
    {0.8, -0.4, kBlack},
    // a few pixels either side of the far edge
    {0.25, 0.05, kBlue},
    {0.25, -0.05, kBlack},
    {0.75, 0.05, kYellow},
    {0.75, -0.05, kBlack},
};

// How many samples the screenshot shows as the viewer would draw them at time t (the turn then being 30 t).
int matchingSamples(const Image& shot, double t, int& visible) {
    double spin = std::fmod(30.0 * t, 360.0);
    int matches = 0;
    visible = 0;
    for (const Sample& sample : kSamples) {
        WindowPoint p =
            projectFloorPoint(t, spin, -2.25 + 4.5 * sample.s, -2.25 + 4.5 * sample.t, kWidth, kHeight);
        int x = int(std::lround(p.x)), y = int(std::lround(p.y));
        if (x < 2 || y < 2 || x >= kWidth - 2 || y >= kHeight - 2) continue;
        ++visible;
        if (colourDistance(shot.at(x, y), sample.expected) <= kTolerance) ++matches;
    }
    return matches;
}

// openbox as a desktop runs it, except that a new window never takes the focus by itself (the way window
// managers keep keys in the window the user is typing in); a click focuses a window.
constexpr const char* kOpenboxConfig = R"(<openbox_config xmlns="http://openbox.org/3.4/rc">
<focus><focusNew>no</focusNew><followMouse>no</followMouse></focus><mouse><context name="Client">
<mousebind button="Left" action="Press"><action name="Focus"/></mousebind></context></mouse></openbox_config>)";

// Each test's own X server, and the test's connection to it.
class Viewer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(client.ok());
    }
    Xvfb server{kWidth, kHeight};
    XClient client{server.display()};
};
// The same with the saver as the screen-saver machinery starts it, from a folder of its own that is also the
// home of everything the test starts.
class ViewerAndSaver : public Viewer {
protected:
    std::map<std::string, std::optional<std::string>> environment() const {
        return {{"DISPLAY", server.display()},         {"HOME", home.path()},
                {"XDG_RUNTIME_DIR", home / "runtime"}, {"XDG_CONFIG_HOME", home / "config"},
                {"XDG_CACHE_HOME", home / "cache"},    {"LIBGL_ALWAYS_SOFTWARE", "1"}};
    }
    // The desktop it photographs shows the four quadrant colours, so that the floor can be told from black.
    std::unique_ptr<ChildProcess> startSaver() {
        client.setRootPicture(
            makeImage(kWidth, kHeight, [](int x, int y) { return quadrantColour(x, y, kWidth, kHeight); }));
        copyPrograms(home.path(), {"Mirevo.scr", "Mirevo.dll"});
        mkdir((home / "runtime").c_str(), 0700);
        return std::make_unique<ChildProcess>(std::vector<std::string>{home / "Mirevo.scr", "/s"},
                                              environment());
    }
    TempDir home;
};

} // namespace

TEST_F(Viewer, ShowsTheSnapshotOnTheMovingFloorAndEndsOnEscape) {
    TempDir runtime;
    ASSERT_TRUE(writeFile(runtime / "Tovik.bmp",
                          makeBmp(640, 480, [](int x, int y) { return quadrantColour(x, y, 640, 480); })));
    ViewerRun run(server, runtime);
    unsigned long window = waitForFirstFrame(client, run);
    ASSERT_NE(window, 0u) << run.process().errors();
    ASSERT_TRUE(run.process().running()) << run.process().errors();

    auto geometry = client.geometry(window);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->x, 0);
    EXPECT_EQ(geometry->y, 0);
    EXPECT_EQ(geometry->width, kWidth);
    EXPECT_EQ(geometry->height, kHeight);
    EXPECT_EQ(textProperty(client.display(), window, "WM_NAME", XA_STRING), "Tovik_VC");
    EXPECT_EQ(textProperty(client.display(), window, "_NET_WM_NAME",
                           XInternAtom(client.display(), "UTF8_STRING", False)),
              "Tovik_VC");

    // The pointer rests over the window: the cursor shown there is fully transparent.
    XFixesCursorImage* cursor = XFixesGetCursorImage(client.display());
    ASSERT_NE(cursor, nullptr);
    unsigned long opaque = 0;
    for (int i = 0; i < cursor->width * cursor->height; ++i)
        opaque |= cursor->pixels[i] & 0xFF000000ul;
    EXPECT_EQ(opaque, 0u) << "the cursor is visible over the viewer";
    XFree(cursor);

    // Find the moment the frame on screen was drawn for: the pose must then put every quadrant's colour where
    // the projection sends it, and black beyond the floor.
    double before = run.secondsSinceStart();
    auto shot = client.screenshot(window);
    ASSERT_TRUE(shot);
    int bestMisses = 1000, bestVisible = 0;
    double bestT = 0;
    for (double t = 0; t <= before + 0.05; t += 0.002) {
        int visible = 0;
        int misses = -matchingSamples(*shot, t, visible);
        misses += visible;
        if (misses < bestMisses || (misses == bestMisses && visible > bestVisible))
            bestMisses = misses, bestVisible = visible, bestT = t;
    }
    EXPECT_GE(bestVisible, 11) << "t=" << bestT;
    EXPECT_EQ(bestMisses, 0) << "no moment in the first " << before
                             << " s explains the frame; best t=" << bestT;

    // Frames change over time.
    Image first = *shot;
    EXPECT_TRUE(pollUntil(5s, [&] {
        auto later = client.screenshot(window);
        return later && later->rgb != first.rgb;
    }));

    // Other keys and the mouse do nothing.
    client.sendKey("a");
    client.sendKey("space");
    client.click(512, 384);
    client.click(100, 100, 3);
    EXPECT_FALSE(run.process().waitExit(400ms)) << "the viewer ended on a key other than Escape";

    client.sendKey("Escape");
    EXPECT_EQ(run.process().waitExit(1s), 0);
    std::string errors = run.process().errors();
    EXPECT_NE(errors.find("PixelFormat Selected: "), std::string::npos) << errors;
    EXPECT_NE(errors.find("\nBPP: 24\n"), std::string::npos) << errors;
    EXPECT_TRUE(client.waitForNoWindow("Tovik_VC", 2s));
}

TEST_F(Viewer, AHugeSnapshotIsReducedWhileReadAndEscapeEndsItEvenDuringTheLoad) {
    TempDir runtime;
    // A side above the GL's largest texture, 768 MiB.
    ASSERT_TRUE(writeSparseBmp(runtime / "Tovik.bmp", 16385, 16385));

    {
        SCOPED_TRACE("Escape while the picture is being read");
        ViewerRun run(server, runtime);
        unsigned long window = client.waitForWindow("Tovik_VC", 20s);
        ASSERT_TRUE(pollUntil(20s, [&] { return window && client.mapped(window); }));
        client.sendKey("Escape");
        EXPECT_EQ(run.process().waitExit(1s), 0);
    }
    {
        SCOPED_TRACE("read to the end");
        ViewerRun run(server, runtime);
        ASSERT_TRUE(pollUntil(90s, [&] {
            return run.process().errors().find("first-frame") != std::string::npos ||
                   !run.process().running();
        }));
        ASSERT_TRUE(run.process().running()) << run.process().errors();
        // The most memory it has held so far, from the kernel's own count.
        std::string status = readFile("/proc/" + std::to_string(run.process().pid()) + "/status");
        EXPECT_LT(std::atol(status.c_str() + status.find("VmHWM:") + 6), 1 << 20) << "kB";
        // The black picture lies on the floor, not the plain white of a refused one, at half its size.
        std::string errors = run.process().errors();
        EXPECT_NE(errors.find("accepted 8193x8193"), std::string::npos) << errors;
        auto shot = client.screenshot(client.findWindow("Tovik_VC"));
        ASSERT_TRUE(shot);
        EXPECT_LE(*std::max_element(shot->rgb.begin(), shot->rgb.end()), kTolerance);
        client.sendKey("Escape");
        EXPECT_EQ(run.process().waitExit(1s), 0);
    }
}

TEST_F(Viewer, AMissingOrUnreadableSnapshotGivesAPlainWhiteFloor) {
    auto good = makeBmp(64, 64, [](int, int) { return kRed; });
    auto truncated = good;
    truncated.resize(truncated.size() - 10);
    struct Case {
        const char* what;
        std::function<void(const TempDir&)> prepare;
    };
    const Case cases[] = {
        {"no snapshot", [](const TempDir&) {}},
        {"truncated snapshot", [&](const TempDir& r) { writeFile(r / "Tovik.bmp", truncated); }},
        {"snapshot is a link",
         [&](const TempDir& r) {
             writeFile(r / "real.bmp", good);
             EXPECT_EQ(symlink((r / "real.bmp").c_str(), (r / "Tovik.bmp").c_str()), 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir runtime;
        c.prepare(runtime);
        ViewerRun run(server, runtime);
        unsigned long window = waitForFirstFrame(client, run);
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(run.process().running()) << run.process().errors();
        auto shot = client.screenshot(window);
        ASSERT_TRUE(shot);
        // The floor's centre lies on its axis of turn, so its place depends only on the slant and the drift.
        int white = 0;
        for (double t = 0; t <= run.secondsSinceStart() + 0.05 && !white; t += 0.002) {
            WindowPoint p = projectFloorPoint(t, 0, 0, 0, kWidth, kHeight);
            white = colourDistance(shot->at(int(p.x), int(p.y)), kWhite) <= kTolerance;
        }
        EXPECT_TRUE(white) << "the floor's centre is not white";
        EXPECT_LE(colourDistance(shot->at(5, 5), kBlack), kTolerance);
        client.sendKey("Escape");
        EXPECT_EQ(run.process().waitExit(2s), 0) << run.process().errors();
    }
}

TEST_F(Viewer, TheWindowManagersCloseRequestEndsItWithCodeZero) {
    TempDir runtime;
    ViewerRun run(server, runtime);
    unsigned long window = waitForFirstFrame(client, run);
    ASSERT_NE(window, 0u);
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(client.display(), "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = long(XInternAtom(client.display(), "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(client.display(), window, False, NoEventMask, &close);
    client.sync();
    EXPECT_EQ(run.process().waitExit(2s), 0);
}

TEST(ViewerWithoutAnXServer, SaysSoInOneLineAndFails) {
    TempDir runtime;
    for (std::optional<std::string> display :
         {std::optional<std::string>(), std::optional<std::string>(":999")}) {
        ChildProcess viewer({kViewer}, {{"DISPLAY", display}, {"XDG_RUNTIME_DIR", runtime.path()}});
        auto code = viewer.waitExit(10s);
        ASSERT_TRUE(code) << "still running without a display";
        EXPECT_NE(*code, 0);
        EXPECT_LT(*code, 128) << "ended by a signal";
        std::string errors = viewer.errors();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_NE(errors.find("display"), std::string::npos) << errors;
    }
}

TEST_F(ViewerAndSaver, TheViewerEndsWithItsSaverEvenAKilledOne) {
    // The orphaned viewer comes to this process, so that its end and its exit code can be seen.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    auto saver = startSaver();
    ASSERT_NE(waitForFirstFrame(client, *saver), 0u) << saver->errors();
    const std::string saverPid = std::to_string(saver->pid());
    const pid_t viewer = std::atoi(readFile("/proc/" + saverPid + "/task/" + saverPid + "/children").c_str());
    ASSERT_GT(viewer, 0);
    kill(saver->pid(), SIGKILL);
    ASSERT_TRUE(saver->waitExit(2s));
    int status = 0;
    const bool ended = pollUntil(2s, [&] { return waitpid(viewer, &status, WNOHANG) == viewer; });
    EXPECT_TRUE(ended) << "the viewer outlived its saver";
    EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(client.findWindow("Tovik_VC"), 0u);
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    if (!ended) kill(viewer, SIGKILL), waitpid(viewer, &status, 0);
}

TEST_F(ViewerAndSaver, EscapeReachesTheViewerUnderAWindowManagerThatKeepsTheFocusWhereTheUserTyped) {
    ASSERT_TRUE(writeFile(home / "rc.xml", std::string(kOpenboxConfig)));
    ChildProcess windowManager({"/usr/bin/openbox", "--config-file", home / "rc.xml", "--sm-disable"},
                               environment());

    // The window the user is typing in, focused by a click (once openbox runs).
    ChildProcess terminal({"/usr/bin/xev", "-geometry", "400x300+50+50"}, environment());
    const unsigned long typing = client.waitForWindow("Event Tester", 10s);
    ASSERT_NE(typing, 0u);
    ASSERT_TRUE(pollUntil(10s, [&] {
        client.click(250, 200);
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(client.display(), &focus, &revert);
        return focus == typing;
    }));

    auto saver = startSaver();
    ASSERT_NE(waitForFirstFrame(client, *saver), 0u) << saver->errors();
    client.sendKey("Escape");
    EXPECT_EQ(saver->waitExit(3s), 0) << "Escape did not reach the viewer";
}

// Another program's window mapped or activated while the viewer runs must not take the keyboard from it: the
// viewer holds it for the whole run, so a third client cannot grab it, and Escape still ends the run.
TEST_F(ViewerAndSaver, EscapeEndsItWhateverWindowAppearsOrTakesTheFocus) {
    for (const bool withWindowManager : {true, false}) {
        SCOPED_TRACE(withWindowManager ? "under openbox" : "with no window manager");
        std::unique_ptr<ChildProcess> windowManager;
        if (withWindowManager) {
            ASSERT_TRUE(writeFile(home / "rc.xml", std::string(kOpenboxConfig)));
            windowManager =
                std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/openbox", "--config-file",
                                                                        home / "rc.xml", "--sm-disable"},
                                               environment());
        }
        auto saver = startSaver();
        ASSERT_NE(waitForFirstFrame(client, *saver), 0u) << saver->errors();

        Display* display = client.display();
        const auto othersGrabFails = [&] {
            const int result =
                XGrabKeyboard(display, client.root(), False, GrabModeAsync, GrabModeAsync, CurrentTime);
            if (result == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
            XSync(display, False);
            return result == AlreadyGrabbed;
        };
        EXPECT_TRUE(pollUntil(5s, othersGrabFails)) << "the viewer never took the keyboard";

        ChildProcess message({"/usr/bin/xmessage", "-geometry", "+60+60", "hi"}, environment());
        const unsigned long popup = client.waitForWindow("xmessage", 10s);
        ASSERT_NE(popup, 0u);
        ASSERT_TRUE(pollUntil(10s, [&] { return client.mapped(popup); }));
        EXPECT_TRUE(othersGrabFails()) << "a new window took the keyboard";
        // Activated as a taskbar would (a window manager's business), or focused directly where there is
        // none.
        ChildProcess activate(
            {"/usr/bin/xdotool", withWindowManager ? "windowactivate" : "windowfocus", std::to_string(popup)},
            environment());
        EXPECT_EQ(activate.waitExit(10s), 0) << activate.errors();
        EXPECT_TRUE(pollUntil(5s, [&] {
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(display, &focus, &revert);
            return focus == popup;
        })) << "the focus never moved to the new window";
        EXPECT_TRUE(othersGrabFails()) << "an activated window took the keyboard";

        client.sendKey("Escape");
        EXPECT_EQ(saver->waitExit(5s), 0) << "Escape did not reach the viewer";
    }
}
