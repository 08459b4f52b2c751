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
    ViewerRun(const Xvfb& server, const TempDir& runtime, bool trace = false)
        : started_(std::chrono::steady_clock::now()),
          process_({kViewer},
                   {{"DISPLAY", server.display()},
                    {"XDG_RUNTIME_DIR", runtime.path()},
                    {"LIBGL_ALWAYS_SOFTWARE", "1"},
                    {"SDL_VIDEODRIVER", "dummy"}, // must not keep the window off X
                    {"MIREVO_VIEWER_TRACE", trace ? std::optional<std::string>("1") : std::nullopt}}) {}
    ChildProcess& process() { return process_; }
    double secondsSinceStart() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    }

private:
    std::chrono::steady_clock::time_point started_;
    ChildProcess process_;
};

// Waits for the viewer's window to be mapped and a frame drawn on it (anything but black at the centre).
unsigned long waitForFirstFrame(XClient& client, ChildProcess& process) {
    unsigned long window = 0;
    pollUntil(30s, [&] {
        window = client.findWindow("Tovik_VC");
        if (!window || !client.mapped(window) || !process.running()) return !process.running();
        auto shot = client.screenshot(window);
        return shot && colourDistance(shot->at(kWidth / 2, kHeight / 2 + 60), kBlack) > kTolerance;
    });
    return window;
}
unsigned long waitForFirstFrame(XClient& client, ViewerRun& run) {
    return waitForFirstFrame(client, run.process());
}

long cardinalProperty(Display* display, unsigned long window, const char* name) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long value = -1;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False, XA_CARDINAL,
                           &actualType, &format, &count, &after, &data) == Success &&
        data) {
        if (count == 1 && format == 32) value = *reinterpret_cast<long*>(data);
        XFree(data);
    }
    return value;
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

} // namespace

TEST(Viewer, ShowsTheSnapshotOnTheMovingFloorAndEndsOnEscape) {
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    TempDir runtime;
    ASSERT_TRUE(writeFile(runtime / "Tovik.bmp",
                          makeBmp(640, 480, [](int x, int y) { return quadrantColour(x, y, 640, 480); })));
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
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

// A bitmap whose pixel rows are a hole in the file: written at once whatever its size, and black.
void writeSparseBmp(const std::string& path, int width, int height) {
    auto bytes = makeBmp(1, 1, [](int, int) { return kBlack; });
    bytes.resize(54);
    put32(bytes, 18, uint32_t(width));
    put32(bytes, 22, uint32_t(height));
    put32(bytes, 34, 0);
    ASSERT_TRUE(writeFile(path, bytes));
    ASSERT_EQ(truncate(path.c_str(), off_t(54 + bmpRowBytes(width) * size_t(height))), 0);
}

// The most memory the process has held so far, in MiB, from the kernel's own count.
long peakResidentMiB(pid_t pid) {
    std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
    auto at = status.find("VmHWM:");
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + 6) / 1024;
}

TEST(Viewer, AHugeSnapshotIsReducedWhileReadAndEscapeEndsItEvenDuringTheLoad) {
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    TempDir runtime;
    writeSparseBmp(runtime / "Tovik.bmp", 16385, 16385); // a side above the GL's largest texture, 768 MiB

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
        ViewerRun run(server, runtime, true);
        ASSERT_TRUE(pollUntil(90s, [&] {
            return run.process().errors().find("first-frame") != std::string::npos ||
                   !run.process().running();
        }));
        ASSERT_TRUE(run.process().running()) << run.process().errors();
        EXPECT_LT(peakResidentMiB(run.process().pid()), 1024);
        // The black picture lies on the floor, not the plain white of a refused one, at half its size.
        std::string errors = run.process().errors();
        EXPECT_NE(errors.find("accepted 8193x8193"), std::string::npos) << errors;
        auto shot = client.screenshot(client.findWindow("Tovik_VC"));
        ASSERT_TRUE(shot);
        int brightest = 0;
        for (size_t i = 0; i < shot->rgb.size(); ++i)
            brightest = std::max<int>(brightest, shot->rgb[i]);
        EXPECT_LE(brightest, kTolerance);
        client.sendKey("Escape");
        EXPECT_EQ(run.process().waitExit(1s), 0);
    }
}

TEST(Viewer, AMissingOrUnreadableSnapshotGivesAPlainWhiteFloor) {
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
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
             symlink((r / "real.bmp").c_str(), (r / "Tovik.bmp").c_str());
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

TEST(Viewer, TheWindowManagersCloseRequestEndsItWithCodeZero) {
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
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

TEST(Viewer, WithoutAnXServerItSaysSoInOneLineAndFails) {
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

// The saver as the screen-saver machinery starts it, from a folder of its own, with its own home and runtime
// folders.
class SaverRun {
public:
    // The desktop it photographs shows the four quadrant colours, so that the floor can be told from black.
    SaverRun(const Xvfb& server, XClient& client) {
        client.setRootPicture(
            makeImage(kWidth, kHeight, [](int x, int y) { return quadrantColour(x, y, kWidth, kHeight); }));
        copyPrograms(folder_.path(), {"Mirevo.scr", "Mirevo.dll"});
        mkdir((folder_ / "runtime").c_str(), 0700);
        process_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{folder_ / "Mirevo.scr", "/s"},
            std::map<std::string, std::optional<std::string>>{{"DISPLAY", server.display()},
                                                              {"HOME", folder_.path()},
                                                              {"XDG_RUNTIME_DIR", folder_ / "runtime"},
                                                              {"XDG_CONFIG_HOME", folder_ / "config"},
                                                              {"XDG_CACHE_HOME", folder_ / "cache"},
                                                              {"LIBGL_ALWAYS_SOFTWARE", "1"}});
    }
    ChildProcess& process() { return *process_; }

private:
    TempDir folder_;
    std::unique_ptr<ChildProcess> process_;
};

TEST(ViewerAndSaver, TheViewerEndsWithItsSaverAndOnSignals) {
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    {
        SCOPED_TRACE("SIGKILL to the saver");
        // The orphaned viewer comes to this process, so that its end and its exit code can be seen.
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        SaverRun saver(server, client);
        unsigned long window = waitForFirstFrame(client, saver.process());
        ASSERT_NE(window, 0u) << saver.process().errors();
        const pid_t viewer = pid_t(cardinalProperty(client.display(), window, "_NET_WM_PID"));
        ASSERT_GT(viewer, 0);
        kill(saver.process().pid(), SIGKILL);
        ASSERT_TRUE(saver.process().waitExit(2s));
        int status = 0;
        const bool ended = pollUntil(2s, [&] { return waitpid(viewer, &status, WNOHANG) == viewer; });
        EXPECT_TRUE(ended) << "the viewer outlived its saver";
        EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        EXPECT_EQ(client.findWindow("Tovik_VC"), 0u);
        prctl(PR_SET_CHILD_SUBREAPER, 0);
        if (!ended) kill(viewer, SIGKILL), waitpid(viewer, &status, 0);
    }
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir runtime;
        ViewerRun run(server, runtime);
        ASSERT_NE(waitForFirstFrame(client, run), 0u);
        kill(run.process().pid(), signal);
        EXPECT_EQ(run.process().waitExit(2s), 0);
    }
}

// openbox as a desktop runs it, except that a new window never takes the focus by itself (the way window
// managers keep keys in the window the user is typing in); a click focuses a window.
constexpr const char* kOpenboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>no</focusNew><followMouse>no</followMouse></focus>
  <mouse><context name="Client">
    <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
  </context></mouse>
</openbox_config>
)";

TEST(ViewerAndSaver, EscapeReachesTheViewerUnderAWindowManagerThatKeepsTheFocusWhereTheUserTyped) {
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    TempDir desk;
    ASSERT_TRUE(writeFile(desk / "rc.xml", std::string(kOpenboxConfig)));
    const std::map<std::string, std::optional<std::string>> environment{{"DISPLAY", server.display()},
                                                                        {"HOME", desk.path()},
                                                                        {"XDG_CONFIG_HOME", desk / "config"},
                                                                        {"XDG_CACHE_HOME", desk / "cache"}};
    ChildProcess windowManager({"/usr/bin/openbox", "--config-file", desk / "rc.xml", "--sm-disable"},
                               environment);
    Atom check = XInternAtom(client.display(), "_NET_SUPPORTING_WM_CHECK", False);
    ASSERT_TRUE(pollUntil(10s, [&] {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(client.display(), client.root(), check, 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &after, &data);
        if (data) XFree(data);
        return count == 1;
    })) << windowManager.errors();

    // The window the user is typing in: focused by a click.
    ChildProcess terminal({"/usr/bin/xev", "-geometry", "400x300+50+50"}, environment);
    const unsigned long typing = client.waitForWindow("Event Tester", 10s);
    ASSERT_NE(typing, 0u);
    ASSERT_TRUE(pollUntil(10s, [&] {
        client.click(250, 200);
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(client.display(), &focus, &revert);
        return focus == typing;
    }));

    SaverRun saver(server, client);
    ASSERT_NE(waitForFirstFrame(client, saver.process()), 0u) << saver.process().errors();
    client.sendKey("Escape");
    EXPECT_EQ(saver.process().waitExit(3s), 0) << "Escape did not reach the viewer";
}
