// Mirevo's hack beside xscreensaver's flipscreen3d (Debian's xscreensaver-gl), each in the same stand-in
// manager window at 1920x1080 with the same screenshot, under Xvfb and llvmpipe: the time from the start to
// the desktop visible in the window, the frames a second and the CPU they cost. The peer is a yardstick: it
// is run as installed, its frames counted by a preloaded swap counter, as ours are.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/harness/bench_numbers.h"
#include "bench/viewer/saver_window.h"
#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"
#include "viewer/scene/trace.h"

using namespace mirevo;
using namespace std::chrono_literals;
using test::median;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kRuns = 3;
constexpr auto kWarmUp = 2000ms, kMeasured = 6000ms;
// MIREVO_BENCH_VIEWER names another build's viewer, to compare before and after a change in one run.
const std::string kViewer = std::getenv("MIREVO_BENCH_VIEWER") ? std::getenv("MIREVO_BENCH_VIEWER")
                                                                : std::string(MIREVO_BIN_DIR) + "/Mirevo.dll";
const std::string kPeer = "/usr/libexec/xscreensaver/flipscreen3d";

struct Swaps {
    unsigned long count = 0;
    double first = 0, last = 0;
};

Swaps readSwaps(const std::string& path) {
    Swaps swaps;
    std::ifstream in(path);
    in >> swaps.count >> swaps.first >> swaps.last;
    return swaps;
}

// User and system time of the process and all its threads, in seconds.
double processCpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::atof(field.c_str());
        if (i == 15) stime = std::atof(field.c_str());
    }
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Whether the middle of the window shows anything but black (the window starts black).
bool somethingShows(Display* display, Window window) {
    constexpr int kSide = 64;
    struct ImageDeleter {
        void operator()(XImage* image) const { XDestroyImage(image); }
    };
    std::unique_ptr<XImage, ImageDeleter> image(
        XGetImage(display, window, (kWidth - kSide) / 2, (kHeight - kSide) / 2, kSide, kSide, AllPlanes, ZPixmap));
    if (!image) return false;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            if (XGetPixel(image.get(), x, y) & 0xFFFFFF) return true;
    return false;
}

struct Run {
    double visibleMs = 0, fps = 0, cpuPercent = 0, cpuPerFrameMs = 0;
};

Run runOnce(const std::vector<std::string>& argv, test::XClient& client, Window window, const std::string& display,
            const test::TempDir& home) {
    Run run;
    const std::string countPath = home / "swaps";
    std::remove(countPath.c_str());
    XClearWindow(client.display(), window);
    client.sync();
    const double spawned = viewer::Trace::monotonicSeconds();
    test::ChildProcess process(argv, {{"DISPLAY", display},
                                      {"HOME", home.path()},
                                      {"XDG_RUNTIME_DIR", home.path()},
                                      {"XSCREENSAVER_WINDOW", std::to_string(window)},
                                      {"LIBGL_ALWAYS_SOFTWARE", "1"},
                                      {"LD_PRELOAD", MIREVO_SWAP_COUNTER},
                                      {"MIREVO_SWAP_COUNT", countPath}});
    if (!test::pollUntil(30s, [&] { return somethingShows(client.display(), window) || !process.running(); }) ||
        !process.running())
        return run;
    run.visibleMs = (viewer::Trace::monotonicSeconds() - spawned) * 1000;
    const auto wait = [&](std::chrono::milliseconds span) {
        const auto until = std::chrono::steady_clock::now() + span;
        test::pollUntil(span + 1s, [&] { return std::chrono::steady_clock::now() >= until; });
    };
    wait(kWarmUp);
    const Swaps before = readSwaps(countPath);
    const double cpuBefore = processCpuSeconds(process.pid());
    wait(kMeasured);
    const Swaps after = readSwaps(countPath);
    const double cpuAfter = processCpuSeconds(process.pid());
    process.terminate();
    process.waitExit(5s);
    const double frames = static_cast<double>(after.count - before.count);
    const double seconds = after.last - before.last;
    if (frames > 0 && seconds > 0) {
        run.fps = frames / seconds;
        run.cpuPercent = (cpuAfter - cpuBefore) / seconds * 100;
        run.cpuPerFrameMs = (cpuAfter - cpuBefore) / frames * 1000;
    }
    return run;
}

struct Row {
    std::string name;
    std::vector<std::string> argv;
    double visibleMs = 0, fps = 0, cpuPercent = 0, cpuPerFrameMs = 0;
};

} // namespace

int main() {
    test::TempDir home;
    test::writeFile(home / ".xscreensaver", std::string("grabDesktopImages:\tTrue\n"));
    test::Xvfb server(kWidth, kHeight);
    test::XClient client(server.display());
    if (!server.ok() || !client.ok()) return 1;
    const Window window = bench::makeSaverWindow(client, kWidth, kHeight);

    std::vector<Row> rows = {{"mirevo-hack", {kViewer, "--root"}},
                             {"mirevo-hack --max-fps 30", {kViewer, "--root", "--max-fps", "30"}}};
    if (access(kPeer.c_str(), X_OK) == 0)
        rows.push_back({"flipscreen3d", {kPeer, "--root"}});
    else
        std::printf("%s is not installed (Debian's xscreensaver-gl): no peer to measure against\n", kPeer.c_str());

    // Runs alternate between the programs, so that a change in the machine's load falls on each alike.
    std::map<std::string, std::vector<Run>> runs;
    for (int round = 0; round < kRuns; ++round)
        for (const Row& row : rows)
            runs[row.name].push_back(runOnce(row.argv, client, window, server.display(), home));
    for (Row& row : rows) {
        std::vector<double> visible, fps, cpu, perFrame;
        for (const Run& r : runs[row.name])
            visible.push_back(r.visibleMs), fps.push_back(r.fps), cpu.push_back(r.cpuPercent),
                perFrame.push_back(r.cpuPerFrameMs);
        row.visibleMs = median(visible), row.fps = median(fps), row.cpuPercent = median(cpu),
        row.cpuPerFrameMs = median(perFrame);
    }

    std::printf("In the same %dx%d manager window with the same screenshot, llvmpipe under Xvfb, median of %d runs\n"
                "(frames and CPU over %lld s after %lld s; CPU is the process's, all threads, %% of one core)\n",
                kWidth, kHeight, kRuns, static_cast<long long>(kMeasured.count() / 1000),
                static_cast<long long>(kWarmUp.count() / 1000));
    std::printf("%-26s %18s %10s %8s %14s %12s\n", "program", "desktop visible ms", "frames/s", "CPU %",
                "CPU ms/frame", "CPU vs peer");
    const Row* peer = rows.back().name == "flipscreen3d" ? &rows.back() : nullptr;
    for (const Row& row : rows) {
        char ratio[32] = "";
        if (peer && &row != peer && peer->cpuPercent > 0 && peer->cpuPerFrameMs > 0)
            std::snprintf(ratio, sizeof ratio, "%.2fx %.2fx/fr", row.cpuPercent / peer->cpuPercent,
                          row.cpuPerFrameMs / peer->cpuPerFrameMs);
        std::printf("%-26s %18.1f %10.1f %8.1f %14.2f %12s\n", row.name.c_str(), row.visibleMs, row.fps,
                    row.cpuPercent, row.cpuPerFrameMs, ratio);
    }
    std::printf("targets: CPU <= 0.85x the peer's at default settings, <= 0.70x per frame drawn\n");
    return 0;
}
