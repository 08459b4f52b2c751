// mirevo-hack, the saver managers' hack, on a private Xvfb with no manager: the test plays the manager's part
// (a window, xscreensaver's screenshot property, the wallpaper, the user's setting) and checks what the hack
// draws there and how it ends.
#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <thread>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"
#include "tests/music/sound_fixtures.h"
#include "tests/viewer/scene_math.h"

using namespace mirevo::test;
using mirevo::test::RATE;
using namespace std::chrono_literals;

namespace {

const std::string kHack = builtProgram("mirevo-hack");
// The viewer given a hack's arguments is the same hack.
const std::string kViewer = builtProgram("Mirevo.dll");
constexpr int kScreenWidth = 640, kScreenHeight = 480;
constexpr int kTolerance = 40;
const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0}, kBlack{0, 0, 0},
    kMagenta{255, 0, 255};

struct Sample {
    double s, t; // on the floor: s = 0 its left edge, t = 0 the bottom of the picture
    Rgb expected;
};

// A picture whose quadrants are red, green (top) and blue, yellow (bottom), shown mirrored: red top-right.
const Sample kMirroredQuadrants[] = {
    {0.75, 0.75, kRed}, {0.25, 0.75, kGreen}, {0.75, 0.25, kBlue}, {0.25, 0.25, kYellow},
    {0.5, -0.15, kBlack}, {0.5, 1.15, kBlack}, {-0.15, 0.5, kBlack}, {1.15, 0.5, kBlack},
};
// One colour over the whole floor.
std::vector<Sample> plainFloor(Rgb colour) {
    return {{0.25, 0.25, colour}, {0.75, 0.75, colour}, {0.25, 0.75, colour}, {0.75, 0.25, colour},
            {0.5, -0.15, kBlack}, {0.5, 1.15, kBlack}};
}

size_t count(const std::string& text, const std::string& part) {
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
}

// Whether some moment of the first `seconds` explains the shot: every sample inside the window where the
// projection at that moment puts it, with at least `minimumVisible` of them inside.
template <typename Samples>
bool frameMatches(const Image& shot, const Samples& samples, double seconds, int minimumVisible = 5) {
    for (double t = 0; t <= seconds; t += 0.002) {
        const double spin = std::fmod(30.0 * t, 360.0);
        int visible = 0, matches = 0;
        for (const Sample& sample : samples) {
            WindowPoint p = projectFloorPoint(t, spin, -2.25 + 4.5 * sample.s, -2.25 + 4.5 * sample.t, shot.width,
                                              shot.height);
            const int x = int(std::lround(p.x)), y = int(std::lround(p.y));
            if (x < 2 || y < 2 || x >= shot.width - 2 || y >= shot.height - 2) continue;
            ++visible;
            matches += colourDistance(shot.at(x, y), sample.expected) <= kTolerance;
        }
        if (visible >= minimumVisible && matches == visible) return true;
    }
    return false;
}

// What a run may add to the usual: a data limit (in MiB) that stops a runaway allocation before it takes the
// machine's memory, another copy of the program, more of the environment.
struct HackExtras {
    std::optional<int> dataLimitMiB;
    std::string program = kHack;
    std::map<std::string, std::optional<std::string>> env;
};

class HackRun {
public:
    HackRun(const Xvfb& server, const TempDir& home, std::vector<std::string> args,
            std::optional<unsigned long> xscreensaverWindow = std::nullopt, const HackExtras& extras = {})
        : started_(std::chrono::steady_clock::now()),
          process_(withProgram(std::move(args), extras), environment(server, home, xscreensaverWindow, extras)) {}
    ChildProcess& process() { return process_; }
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    }
    // Polls until the trace names the event; false when it did not come or the hack ended first.
    bool waitForTrace(const std::string& event) {
        return pollUntil(30s, [&] {
            return process_.errors().find("mirevo-trace " + event + " ") != std::string::npos || !process_.running();
        }) && process_.running();
    }

private:
    static std::vector<std::string> withProgram(std::vector<std::string> args, const HackExtras& extras) {
        args.insert(args.begin(), extras.program);
        if (extras.dataLimitMiB)
            args.insert(args.begin(), {"/bin/sh", "-c",
                                       "ulimit -d " + std::to_string(*extras.dataLimitMiB * 1024) + "; exec \"$@\"",
                                       "sh"});
        return args;
    }
    static std::map<std::string, std::optional<std::string>> environment(const Xvfb& server, const TempDir& home,
                                                                         std::optional<unsigned long> window,
                                                                         const HackExtras& extras) {
        std::map<std::string, std::optional<std::string>> env{{"DISPLAY", server.display()},
                                                              {"HOME", home.path()},
                                                              {"XDG_RUNTIME_DIR", home.path()},
                                                              {"XDG_CONFIG_HOME", home / "config"},
                                                              {"LIBGL_ALWAYS_SOFTWARE", "1"},
                                                              {"MIREVO_VIEWER_TRACE", "1"},
                                                              {"XSCREENSAVER_WINDOW", std::nullopt}};
        if (window) env["XSCREENSAVER_WINDOW"] = std::to_string(*window);
        for (const auto& [name, value] : extras.env) env[name] = value;
        return env;
    }
    std::chrono::steady_clock::time_point started_;
    ChildProcess process_;
};

class Hack : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        ASSERT_TRUE(client.ok());
        display = client.display();
    }
    // A window as a manager makes one: override-redirect, mapped, the screen's default visual.
    Window makeWindow(Window parent, int x, int y, int width, int height) {
        XSetWindowAttributes set{};
        set.override_redirect = True;
        set.background_pixel = BlackPixel(display, DefaultScreen(display));
        Window window = XCreateWindow(display, parent, x, y, width, height, 0, CopyFromParent, InputOutput,
                                      CopyFromParent, CWOverrideRedirect | CWBackPixel, &set);
        XMapWindow(display, window);
        client.sync();
        return window;
    }
    Pixmap makePixmap(const Image& picture) {
        const int screen = DefaultScreen(display);
        Pixmap pixmap = XCreatePixmap(display, client.root(), picture.width, picture.height,
                                      DefaultDepth(display, screen));
        XImage* image = XCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen),
                                     ZPixmap, 0, nullptr, picture.width, picture.height, 32, 0);
        image->data = static_cast<char*>(std::malloc(size_t(image->bytes_per_line) * picture.height));
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                auto c = picture.at(x, y);
                XPutPixel(image, x, y, (unsigned long)c[0] << 16 | (unsigned long)c[1] << 8 | c[2]);
            }
        GC gc = XCreateGC(display, pixmap, 0, nullptr);
        XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, picture.width, picture.height);
        XFreeGC(display, gc);
        XDestroyImage(image);
        client.sync();
        return pixmap;
    }
    void setPixmapProperty(Window window, const char* name, Pixmap pixmap) {
        const unsigned long value = pixmap;
        XChangeProperty(display, window, XInternAtom(display, name, False), XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
        client.sync();
    }
    static Image quadrants(int width, int height) {
        return makeImage(width, height, [&](int x, int y) { return quadrantColour(x, y, width, height); });
    }
    static Image plain(int width, int height, Rgb colour) {
        return makeImage(width, height, [&](int, int) { return colour; });
    }
    // The wallpaper as desktops leave it: a pixmap named on the root window (the root itself stays black).
    void setWallpaper(const Image& picture) { setPixmapProperty(client.root(), "_XROOTPMAP_ID", makePixmap(picture)); }
    void setUsersChoice(const char* allowed) {
        ASSERT_TRUE(writeFile(home / ".xscreensaver", std::string("timeout:\t0:10:00\ngrabDesktopImages:\t") +
                                                         allowed + "\nlock:\tFalse\n"));
    }
    std::set<Window> topLevelWindows() {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, client.root(), &root, &parent, &children, &count);
        std::set<Window> windows(children, children + count);
        if (children) XFree(children);
        return windows;
    }
    // Polls until a screenshot of the window matches the samples at some moment since the start.
    template <typename Samples>
    bool waitForFloor(Window window, HackRun& run, const Samples& samples, int minimumVisible = 5) {
        return pollUntil(30s, [&] {
            if (!run.process().running()) return true;
            auto shot = client.screenshot(window);
            return shot && frameMatches(*shot, samples, run.seconds() + 0.05, minimumVisible);
        }) && run.process().running();
    }

    Xvfb server{kScreenWidth, kScreenHeight};
    XClient client{server.display()};
    Display* display = nullptr;
    TempDir home;
};

} // namespace

TEST_F(Hack, ShowsXscreensaversScreenshotMirroredWithoutAWindowOfItsOwnAndEndsOnSigterm) {
    setUsersChoice("True");
    setWallpaper(plain(kScreenWidth, kScreenHeight, kMagenta));
    const Window saver = makeWindow(client.root(), 0, 0, kScreenWidth, kScreenHeight);
    setPixmapProperty(saver, "_SCREENSAVER_SCREENSHOT", makePixmap(quadrants(kScreenWidth, kScreenHeight)));
    const auto before = topLevelWindows();

    HackRun run(server, home, {"-root"}, saver);
    EXPECT_TRUE(waitForFloor(saver, run, kMirroredQuadrants)) << run.process().errors();
    EXPECT_EQ(topLevelWindows(), before) << "the hack made a window of its own";
    EXPECT_NE(run.process().errors().find("picture") , std::string::npos);
    EXPECT_NE(run.process().errors().find("screenshot 640x480"), std::string::npos) << run.process().errors();

    kill(run.process().pid(), SIGTERM);
    EXPECT_EQ(run.process().waitExit(1s), 0);
}

// The hack runs as the process it was started as, under the name it was started by (the managers start it
// through a link in their folder; ps, top, pgrep and killall know it by that name), and with the environment
// it was given: the C library's tunables of the user's choice included, untouched.
TEST_F(Hack, RunsAsTheProcessAndUnderTheNameItWasStartedBy) {
    const auto nulSeparated = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::string> items;
        for (std::string item; std::getline(in, item, '\0');) items.push_back(item);
        return items;
    };
    TempDir links;
    const std::string link = links / "mirevo-hack";
    ASSERT_EQ(::symlink(kHack.c_str(), link.c_str()), 0);
    const struct {
        std::string program, name;
        std::optional<std::string> tunables;
    } cases[] = {
        {link, "mirevo-hack", std::nullopt},
        {link, "mirevo-hack", "glibc.malloc.hugetlb=1"},
        {kViewer, "Mirevo.dll", "glibc.malloc.hugetlb=0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program + " " + c.tunables.value_or("(no tunables)"));
        const Window saver = makeWindow(client.root(), 0, 0, kScreenWidth, kScreenHeight);
        HackExtras extras;
        extras.program = c.program;
        extras.env["GLIBC_TUNABLES"] = c.tunables;
        const std::vector<std::string> args{"--window-id", std::to_string(saver), "--max-fps", "30"};
        HackRun run(server, home, args, std::nullopt, extras);
        ASSERT_TRUE(run.waitForTrace("first-frame")) << run.process().errors();
        const std::string proc = "/proc/" + std::to_string(run.process().pid());
        EXPECT_EQ(readFile(proc + "/comm"), c.name + "\n");
        std::vector<std::string> command{c.program};
        command.insert(command.end(), args.begin(), args.end());
        EXPECT_EQ(nulSeparated(proc + "/cmdline"), command);
        const auto environment = nulSeparated(proc + "/environ");
        const auto tunables = std::find_if(environment.begin(), environment.end(), [](const std::string& item) {
            return item.rfind("GLIBC_TUNABLES=", 0) == 0;
        });
        EXPECT_EQ(tunables != environment.end() ? tunables->substr(15) : "(unset)", c.tunables.value_or("(unset)"));
        const std::string errors = run.process().errors();
        EXPECT_EQ(errors.find("mirevo-trace start "), errors.rfind("mirevo-trace start ")) << "started twice";
        kill(run.process().pid(), SIGTERM);
        EXPECT_EQ(run.process().waitExit(10s), 0);
        XDestroyWindow(display, saver);
    }
}

TEST_F(Hack, InASmallChildWindowItShowsTheWallpaperUnderItAndFollowsItsSize) {
    // A settings dialog's preview: a child of a top-level window, centred on the screen, so that the
    // wallpaper under it holds all four quadrants.
    setWallpaper(quadrants(kScreenWidth, kScreenHeight));
    const Window dialog = makeWindow(client.root(), 120, 90, 400, 300);
    const Window preview = makeWindow(dialog, 40, 30, 320, 240);
    const auto before = topLevelWindows();

    HackRun run(server, home, {"--window-id", "0x" + [&] {
                                   char hex[32];
                                   std::snprintf(hex, sizeof hex, "%lx", preview);
                                   return std::string(hex);
                               }()});
    EXPECT_TRUE(waitForFloor(preview, run, kMirroredQuadrants)) << run.process().errors();
    EXPECT_NE(run.process().errors().find("wallpaper 320x240"), std::string::npos) << run.process().errors();
    EXPECT_EQ(topLevelWindows(), before);
    auto geometry = client.geometry(preview);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->x, 160);
    EXPECT_EQ(geometry->width, 320);

    // The manager makes it wider: the floor keeps the window's own aspect.
    XResizeWindow(display, preview, 360, 160);
    client.sync();
    EXPECT_TRUE(waitForFloor(preview, run, kMirroredQuadrants, 4)) << run.process().errors();

    XDestroyWindow(display, preview);
    client.sync();
    EXPECT_EQ(run.process().waitExit(1s), 0);
}

TEST_F(Hack, TheUsersSettingForbidsTheScreenshotAndWithoutWallpaperABuiltInPictureShows) {
    const Window saver = makeWindow(client.root(), 0, 0, kScreenWidth, kScreenHeight);
    setPixmapProperty(saver, "_SCREENSAVER_SCREENSHOT", makePixmap(plain(kScreenWidth, kScreenHeight, kMagenta)));
    setUsersChoice("False");
    {
        SCOPED_TRACE("forbidden: the wallpaper instead");
        setWallpaper(plain(kScreenWidth, kScreenHeight, kGreen));
        HackRun run(server, home, {"--root"}, saver);
        EXPECT_TRUE(waitForFloor(saver, run, plainFloor(kGreen), 4)) << run.process().errors();
        run.process().terminate();
    }
    {
        SCOPED_TRACE("no wallpaper either: the built-in picture, never a black floor");
        XDeleteProperty(display, client.root(), XInternAtom(display, "_XROOTPMAP_ID", False));
        client.sync();
        HackRun run(server, home, {"--root", "--fps"}, saver);
        ASSERT_TRUE(pollUntil(30s, [&] {
            return run.process().errors().find("first-frame") != std::string::npos || !run.process().running();
        }));
        EXPECT_NE(run.process().errors().find("built-in"), std::string::npos) << run.process().errors();
        EXPECT_TRUE(pollUntil(10s, [&] {
            auto shot = client.screenshot(saver);
            const WindowPoint centre = projectFloorPoint(run.seconds(), 0, 0, 0, kScreenWidth, kScreenHeight);
            return shot && colourDistance(shot->at(int(centre.x), int(centre.y)), kBlack) > kTolerance &&
                   colourDistance(shot->at(int(centre.x), int(centre.y)), kMagenta) > kTolerance;
        }));
        run.process().terminate();
    }
}

TEST_F(Hack, AnXscreensaverFileThatIsNotAPlainFileCountsAsAbsentAndTheHackStillEndsOnSigterm) {
    setWallpaper(plain(kScreenWidth, kScreenHeight, kGreen));
    const Window saver = makeWindow(client.root(), 0, 0, kScreenWidth, kScreenHeight);
    struct Case {
        const char* what;
        bool fifo;
    };
    for (const Case& c : {Case{"a FIFO", true}, Case{"a link to /dev/zero", false}}) {
        SCOPED_TRACE(c.what);
        const std::string file = home / ".xscreensaver";
        ::unlink(file.c_str());
        if (c.fifo)
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        else
            ASSERT_EQ(::symlink("/dev/zero", file.c_str()), 0);
        HackExtras limited;
        limited.dataLimitMiB = 2048;
        HackRun run(server, home, {"--root"}, saver, limited);
        EXPECT_TRUE(run.waitForTrace("first-frame")) << run.process().errors();
        // No screenshot without the user's leave: the wallpaper.
        EXPECT_TRUE(waitForFloor(saver, run, plainFloor(kGreen), 4)) << run.process().errors();
        // One line says so, once.
        const std::string errors = run.process().errors();
        const std::string line = ".xscreensaver is not a regular file; its settings are not read\n";
        const size_t said = errors.find(line);
        EXPECT_NE(said, std::string::npos) << errors;
        EXPECT_EQ(errors.find(line, said + 1), std::string::npos) << errors;
        kill(run.process().pid(), SIGTERM);
        EXPECT_EQ(run.process().waitExit(5s), 0);
    }
}

TEST_F(Hack, PicturesOfAnotherDepthAreReadInTheirOwnFormatOrPassedOver) {
    // Pixmaps of one raw pixel value all over, of a depth the screen (24) does not have.
    const auto pixmapOfDepth = [&](int depth, unsigned long pixel) {
        Pixmap pixmap = XCreatePixmap(display, client.root(), kScreenWidth, kScreenHeight, depth);
        GC gc = XCreateGC(display, pixmap, 0, nullptr);
        XSetForeground(display, gc, pixel);
        XFillRectangle(display, pixmap, gc, 0, 0, kScreenWidth, kScreenHeight);
        XFreeGC(display, gc);
        client.sync();
        return pixmap;
    };
    struct Case {
        const char* what;
        bool screenshot; // else the wallpaper
        int depth;
        unsigned long pixel;
        Rgb expected;
    };
    const Case cases[] = {
        {"a 5-6-5 screenshot", true, 16, 0xF800, kRed},
        {"a 5-6-5 screenshot", true, 16, 0x001F, kBlue},
        {"a 5-6-5 wallpaper", false, 16, 0x07E0, kGreen},
        {"a 32-bit screenshot", true, 32, 0xFFFFFF00, kYellow},
        // colour-map indexes, not colours: the next picture, the wallpaper
        {"a 4-bit screenshot", true, 4, 0x3, kMagenta},
    };
    setUsersChoice("True");
    const Window saver = makeWindow(client.root(), 0, 0, kScreenWidth, kScreenHeight);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setWallpaper(plain(kScreenWidth, kScreenHeight, kMagenta));
        if (c.screenshot)
            setPixmapProperty(saver, "_SCREENSAVER_SCREENSHOT", pixmapOfDepth(c.depth, c.pixel));
        else
            setPixmapProperty(client.root(), "_XROOTPMAP_ID", pixmapOfDepth(c.depth, c.pixel));
        HackRun run(server, home, {"--root"}, saver);
        EXPECT_TRUE(waitForFloor(saver, run, plainFloor(c.expected), 4)) << run.process().errors();
        run.process().terminate();
        XDeleteProperty(display, saver, XInternAtom(display, "_SCREENSAVER_SCREENSHOT", False));
    }
}

TEST_F(Hack, WithTheScreenshotAllowedButNoneGivenTheWallpaperShows) {
    // mate-screensaver keeps no screenshot: the user's leave to show one finds none.
    setUsersChoice("True");
    setWallpaper(quadrants(kScreenWidth, kScreenHeight));
    const Window saver = makeWindow(client.root(), 0, 0, kScreenWidth, kScreenHeight);
    HackRun run(server, home, {"--root"}, saver);
    EXPECT_TRUE(waitForFloor(saver, run, kMirroredQuadrants)) << run.process().errors();
    EXPECT_NE(run.process().errors().find("wallpaper 640x480"), std::string::npos) << run.process().errors();
    run.process().terminate();
}

// The music chosen in the settings, heard through SDL's disk audio driver: a copy of the hack in a folder of
// its own, whose Mirevo.ini chooses a looping WAV. Every copy shares the user's runtime folder, and so the
// music's lock.
class HackMusic : public Hack {
protected:
    void SetUp() override {
        Hack::SetUp();
        ASSERT_TRUE(std::filesystem::create_directory(programs / "modules"));
        ASSERT_TRUE(copyPrograms(programs.path(), {"mirevo-hack", "modules/mirevo-music.so"}));
        ASSERT_TRUE(makeTone(programs / "tone.wav", 440, 1.0));
        ASSERT_TRUE(writeFile(programs / "Mirevo.ini",
                              "[Section]\nBGM区分=2\nBGMﾌｧｲﾙ=" + programs / "tone.wav" + "\n"));
    }
    // A copy that writes what it plays to its own file.
    std::unique_ptr<HackRun> start(std::vector<std::string> args, std::optional<unsigned long> window,
                                   const std::string& heard) {
        HackExtras extras;
        extras.program = programs / "mirevo-hack";
        extras.env = {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", heard}};
        return std::make_unique<HackRun>(server, home, std::move(args), window, extras);
    }
    // Whether a second of the tone has been heard there.
    static bool heardTheTone(const std::string& heard) {
        return windowsWithTone(readLeftChannel(heard), RATE / 10, 440, 2000) >= 10;
    }
    static bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

    TempDir programs;
};

TEST_F(HackMusic, OfTwoCopiesAtOnceOnlyOnePlays) {
    const Window left = makeWindow(client.root(), 0, 0, kScreenWidth / 2, kScreenHeight);
    const Window right = makeWindow(client.root(), kScreenWidth / 2, 0, kScreenWidth / 2, kScreenHeight);
    const std::string heard[2] = {home / "heard-left.raw", home / "heard-right.raw"};
    auto first = start({"--root"}, left, heard[0]);
    auto second = start({"--root"}, right, heard[1]);
    // Both have chosen by now whether they play.
    ASSERT_TRUE(first->waitForTrace("music")) << first->process().errors();
    ASSERT_TRUE(second->waitForTrace("music")) << second->process().errors();
    EXPECT_TRUE(pollUntil(30s, [&] { return heardTheTone(heard[0]) || heardTheTone(heard[1]); }));
    EXPECT_NE(exists(heard[0]), exists(heard[1])) << "both or neither opened the sound output";
    // The sound output's libraries come with the music module, loaded by the copy that plays alone.
    for (auto* copy : {first.get(), second.get()}) {
        const std::string errors = copy->process().errors();
        const size_t at = errors.find("mirevo-trace music ");
        const std::string line = at == std::string::npos ? "" : errors.substr(at, errors.find('\n', at) - at);
        const bool plays = line.size() > 3 && line.compare(line.size() - 3, 3, " on") == 0;
        const std::string maps = readFile("/proc/" + std::to_string(copy->process().pid()) + "/maps");
        EXPECT_EQ(maps.find("mirevo-music.so") != std::string::npos, plays) << errors;
        EXPECT_EQ(maps.find("libSDL2") != std::string::npos, plays);
    }
    first->process().terminate();
    second->process().terminate();
}

TEST_F(HackMusic, APreviewStaysSilentAndLeavesTheMusicToTheSaver) {
    // The settings' preview: a small window inside a dialog, drawn by a copy started with --window-id.
    const Window dialog = makeWindow(client.root(), 120, 90, 400, 300);
    const Window preview = makeWindow(dialog, 40, 30, 320, 240);
    const std::string previewHeard = home / "heard-preview.raw", saverHeard = home / "heard-saver.raw";
    auto previewRun = start({"--window-id", std::to_string(preview)}, std::nullopt, previewHeard);
    ASSERT_TRUE(previewRun->waitForTrace("music")) << previewRun->process().errors();

    // Then the saver itself, with the preview still running: by --root, or by a window the size of the screen.
    for (bool root : {true, false}) {
        SCOPED_TRACE(root ? "--root" : "--window-id on a window the size of the screen");
        const Window saver = makeWindow(client.root(), 0, 0, kScreenWidth, kScreenHeight);
        ::unlink(saverHeard.c_str());
        auto saverRun = root ? start({"--root"}, saver, saverHeard)
                             : start({"--window-id", std::to_string(saver)}, std::nullopt, saverHeard);
        ASSERT_TRUE(saverRun->waitForTrace("music")) << saverRun->process().errors();
        EXPECT_TRUE(pollUntil(30s, [&] { return heardTheTone(saverHeard); })) << saverRun->process().errors();
        saverRun->process().terminate();
        XDestroyWindow(display, saver);
        client.sync();
    }
    EXPECT_FALSE(exists(previewHeard)) << "the preview opened the sound output";
    EXPECT_TRUE(previewRun->process().running());
    previewRun->process().terminate();
}

TEST(HackWithoutItsServer, LosingTheXServerEndsItWithCodeZero) {
    Xvfb server{kScreenWidth, kScreenHeight};
    ASSERT_TRUE(server.ok());
    TempDir home;
    Window window = 0;
    {
        // The window outlives this connection, which must be gone before the server (it would end the test).
        XClient client(server.display());
        ASSERT_TRUE(client.ok());
        XSetCloseDownMode(client.display(), RetainPermanent);
        window = XCreateSimpleWindow(client.display(), client.root(), 0, 0, kScreenWidth, kScreenHeight, 0, 0, 0);
        XMapWindow(client.display(), window);
        client.sync();
    }
    HackRun run(server, home, {"--root"}, window);
    ASSERT_TRUE(pollUntil(30s, [&] {
        return run.process().errors().find("first-frame") != std::string::npos || !run.process().running();
    })) << run.process().errors();
    kill(server.pid(), SIGKILL);
    EXPECT_EQ(run.process().waitExit(1s), 0);
}

// Whether a client listens for the window's structure: the hack does from its first request on.
bool someoneListensTo(const std::string& displayName, Window window) {
    Display* display = XOpenDisplay(displayName.c_str());
    if (!display) return false;
    XWindowAttributes attributes{};
    const bool listens = XGetWindowAttributes(display, window, &attributes) &&
                         (attributes.all_event_masks & StructureNotifyMask);
    XCloseDisplay(display);
    return listens;
}

TEST(HackWithoutItsServer, LosingTheXServerDuringTheStartUpEndsItWithCodeZeroAndOneLine) {
    // From the moment it connects: the visual's choice, the GL's set-up, the picture on its own connection.
    for (int delayMs : {0, 1, 3, 6, 10, 15, 20, 30, 45, 70, 100, 150}) {
        SCOPED_TRACE("the server killed " + std::to_string(delayMs) + " ms after its first request");
        Xvfb server{kScreenWidth, kScreenHeight};
        ASSERT_TRUE(server.ok());
        TempDir home;
        Window window = 0;
        {
            XClient client(server.display());
            ASSERT_TRUE(client.ok());
            XSetCloseDownMode(client.display(), RetainPermanent);
            window = XCreateSimpleWindow(client.display(), client.root(), 0, 0, kScreenWidth, kScreenHeight, 0, 0, 0);
            XMapWindow(client.display(), window);
            client.sync();
        }
        HackRun run(server, home, {"--root"}, window);
        // A tight look: the moments that matter are a few milliseconds long. (A server that goes during the
        // connection's handshake is one the hack cannot connect to.)
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!someoneListensTo(server.display(), window) && run.process().running() &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(200us);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(server.pid(), SIGKILL);
        EXPECT_EQ(run.process().waitExit(20s), 0) << run.process().errors();
        const std::string errors = run.process().errors();
        EXPECT_EQ(count(errors, "mirevo-hack: "), 1) << errors;
        EXPECT_EQ(count(errors, "mirevo-hack: lost the X server\n"), 1) << errors;
    }
}

TEST_F(Hack, AWindowThatWentAwayAtOnceEndsItWithCodeZeroOneThatNeverWasWithOne) {
    // The manager ends the hack as it starts: its window goes before the hack looks, or just after.
    for (int delayMs : {-1, 0, 2, 5, 10, 20}) {
        SCOPED_TRACE(delayMs < 0 ? std::string("gone before the start")
                                 : "gone " + std::to_string(delayMs) + " ms after the start");
        const Window saver = makeWindow(client.root(), 0, 0, kScreenWidth, kScreenHeight);
        if (delayMs < 0) {
            XDestroyWindow(display, saver);
            client.sync();
        }
        HackRun run(server, home, {"--window-id", std::to_string(saver)});
        if (delayMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            XDestroyWindow(display, saver);
            client.sync();
        }
        EXPECT_EQ(run.process().waitExit(30s), 0) << run.process().errors();
    }
    // An id in no client's range: nobody ever made it.
    HackRun wrong(server, home, {"--window-id", "0x1fe00001"});
    EXPECT_EQ(wrong.process().waitExit(30s), 1);
    EXPECT_NE(wrong.process().errors().find("mirevo-hack: no window"), std::string::npos) << wrong.process().errors();
}

TEST_F(Hack, AStoppedHackGoesOnWhereItStopped) {
    const Window saver = makeWindow(client.root(), 0, 0, kScreenWidth, kScreenHeight);
    HackRun run(server, home, {"--root"}, saver);
    ASSERT_TRUE(pollUntil(30s, [&] {
        return run.process().errors().find("first-frame") != std::string::npos || !run.process().running();
    }));
    auto pose = [&] {
        client.sync();
        return client.screenshot(saver);
    };
    kill(run.process().pid(), SIGSTOP);
    // Stopped long enough for a catching-up floor to turn a quarter turn.
    ASSERT_TRUE(pollUntil(10s, [&, start = std::chrono::steady_clock::now()] {
        return std::chrono::steady_clock::now() - start > 3s;
    }));
    auto stopped = pose();
    kill(run.process().pid(), SIGCONT);
    // The first frames after it look like the last one before it, not a quarter turn on.
    ASSERT_TRUE(stopped);
    int changed = 0, compared = 0;
    pollUntil(2s, [&] {
        auto now = pose();
        if (!now || now->rgb == stopped->rgb) return false;
        for (size_t i = 0; i < now->rgb.size(); i += 3 * 97, ++compared)
            changed += std::abs(int(now->rgb[i]) - int(stopped->rgb[i])) > kTolerance;
        return true;
    });
    ASSERT_GT(compared, 0) << "no frame after SIGCONT";
    EXPECT_LT(changed, compared / 10) << "the floor jumped ahead after the stop";
    kill(run.process().pid(), SIGTERM);
    EXPECT_EQ(run.process().waitExit(1s), 0);
}

TEST(HackArguments, AnythingElseGivesOneUsageLineAndCodeOne) {
    for (std::vector<std::string> args : {std::vector<std::string>{kHack, "--bogus"}, {kHack, "--root"},
                                          {kHack, "--window-id", "x"}, {kHack}, {kViewer, "--bogus"},
                                          {kViewer, "--root"}}) {
        SCOPED_TRACE(args.size() > 1 ? args[0] + " " + args[1] : args[0]);
        ChildProcess viewer(args, {{"XSCREENSAVER_WINDOW", std::nullopt}, {"DISPLAY", std::nullopt}});
        EXPECT_EQ(viewer.waitExit(10s), 1);
        const std::string errors = viewer.errors();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_NE(errors.find("usage: mirevo-hack"), std::string::npos) << errors;
    }
}
