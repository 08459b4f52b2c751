// How fast "Mirevo.scr /c" shows the settings window, what the open window costs while it waits for the user
// (its three buttons each poll the pointer every 100 ms), and how long a button takes to paint its face.
// Prints three tables; run it on a quiet machine (numbers include whatever else the cores are doing).
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <QApplication>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "saver/button/command.h"
#include "saver/qt_toolkit.h"
#include "tests/harness/scoped_env.h"

#include "bench/harness/bench_numbers.h"
#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "bench/harness/process_use.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

using namespace mirevo::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

struct Pixel {
    int x, y;
    unsigned long rgb;
};
// Places of the window that are painted last to first: the gradient, the panel, a mark, the link's text row.
const Pixel kPainted[] = {{2, 0, 0x00001E}, {212, 16, 0x1E1E1E}, {45, 98, 0x31B1FF}};

unsigned long pixelAt(Display* display, int x, int y) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return ~0ul;
    const unsigned long p = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return p;
}

class SaverFolder {
public:
    SaverFolder() { copyPrograms(programs_.path(), {"Mirevo.scr", "Mirevo.dll"}); }
    std::unique_ptr<ChildProcess> start(const std::string& display) {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{programs_ / "Mirevo.scr", "/c"},
            std::map<std::string, std::optional<std::string>>{{"DISPLAY", display},
                                                              {"HOME", home_.path()},
                                                              {"XDG_RUNTIME_DIR", home_.path()},
                                                              {"XDG_CACHE_HOME", home_ / "cache"},
                                                              {"XDG_CONFIG_HOME", home_ / "config"}});
    }

private:
    TempDir programs_, home_;
};

void startTable() {
    constexpr int kRuns = 9;
    std::vector<double> found, painted;
    Xvfb server(1024, 768);
    XClient x(server.display());
    SaverFolder folder;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        auto saver = folder.start(server.display());
        unsigned long window = 0;
        pollUntil(10s, [&] { return (window = x.findWindow("<Mirevo>")) != 0; });
        const auto windowFound = Clock::now();
        std::optional<Geometry> place;
        const bool done = pollUntil(10s, [&] {
            if (!x.mapped(window) || !(place = x.geometry(window))) return false;
            for (const Pixel& p : kPainted)
                if (pixelAt(x.display(), place->x + p.x, place->y + p.y) != p.rgb) return false;
            return true;
        });
        if (done) {
            found.push_back(ms(windowFound - start));
            painted.push_back(ms(Clock::now() - start));
        }
        saver->terminate();
    }
    std::sort(found.begin(), found.end());
    std::sort(painted.begin(), painted.end());
    std::printf(
        "From \"Mirevo.scr /c\" to the settings window, 1024x768 (%zu of %d runs, ms; its outline\n"
        "grows out of the pointer for 175 ms, while the controls are made, before the window shows)\n",
        painted.size(), kRuns);
    std::printf("%-28s %10s %10s %10s\n", "", "min", "median", "max");
    if (painted.empty()) return;
    std::printf("%-28s %10.1f %10.1f %10.1f\n", "window made (title found)", found.front(), median(found),
                found.back());
    std::printf("%-28s %10.1f %10.1f %10.1f\n\n", "first complete paint", painted.front(), median(painted),
                painted.back());
}

void idleTable() {
    constexpr int kSeconds = 10;
    std::printf("The saver while the settings window is open and idle (over %d s)\n", kSeconds);
    printWaitingCostHeading();
    Xvfb server(1024, 768);
    XClient x(server.display());
    SaverFolder folder;
    auto saver = folder.start(server.display());
    pollUntil(10s, [&] { return x.findWindow("<Mirevo>") != 0; });
    printWaitingCost(saver->pid(), kSeconds);
    saver->terminate();
}

// A face is painted whole on every state change; reading Enabled repaints it, as the dialog's load does.
void facePaintTable() {
    constexpr int kPaints = 2000;
    std::printf("A Command button's face paint (Normal skin, mean of %d paints, microseconds)\n", kPaints);
    std::printf("%-16s %12s\n", "button", "paint");
    ScopedEnv offscreen("QT_QPA_PLATFORM", "offscreen");
    TempDir runtime;
    ScopedEnv runtimeFolder("XDG_RUNTIME_DIR", runtime.path());
    int argc = 1;
    char name[] = "dialog_bench";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    mirevo::installFontSubstitutions();
    QWidget host;
    for (const auto& [caption, width, height] : {std::tuple{"設定", 77, 25}, std::tuple{"...", 41, 21}}) {
        mirevo::Command button(&host);
        mirevo::ButtonProperties stored;
        stored.set("caption", caption);
        stored.setFont("font", {"ＭＳ Ｐゴシック", 9.75, 400, false, false, false, 128});
        button.Load(stored);
        button.setGeometry(0, 0, width, height);
        button.Enabled(); // fonts and skins loaded before timing
        const auto start = Clock::now();
        for (int i = 0; i < kPaints; ++i)
            button.Enabled();
        std::printf("%-16s %12.1f\n", (std::to_string(width) + " x " + std::to_string(height)).c_str(),
                    ms(Clock::now() - start) * 1000.0 / kPaints);
    }
    std::printf("\n");
}

} // namespace

int main() {
    startTable();
    idleTable();
    facePaintTable();
    return 0;
}
