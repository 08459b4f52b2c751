// Measures the viewer as a saver manager's hack under Xvfb: the time from its start to its first frame with
// xscreensaver's screenshot on the floor at 1920x1080 and 3840x2160, its peak resident memory by then, and its
// CPU time per frame beside the saver's viewer at the same size. Prints tables.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "bench/viewer/saver_window.h"
#include "bench/viewer/trace_lines.h"
#include "bench/harness/bench_numbers.h"
#include "bench/harness/process_use.h"
#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"
#include "viewer/scene/trace.h"

using namespace mirevo;
using namespace std::chrono_literals;
using bench::makeSaverWindow;
using bench::traceLine;
using test::median;

namespace {

constexpr int kRuns = 5;
const std::string kViewer = std::string(MIREVO_BIN_DIR) + "/Mirevo.dll";

struct Run {
    double firstFrameMs = 0, firstFrameCpuMs = 0;
    double peakMiB = 0; // resident at most, by the first frame
    std::string picture;
    double cpuPerFrameMs = 0, fps = 0;
};

Run runProgram(std::vector<std::string> argv, std::map<std::string, std::optional<std::string>> env,
               std::chrono::milliseconds runFor) {
    Run result;
    env["MIREVO_VIEWER_TRACE"] = "1";
    env["LIBGL_ALWAYS_SOFTWARE"] = "1";
    const double spawned = viewer::Trace::monotonicSeconds();
    test::ChildProcess process(std::move(argv), env);
    if (!test::pollUntil(30s, [&] { return traceLine(process.errors(), "first-frame").found || !process.running(); }))
        return result;
    const auto first = traceLine(process.errors(), "first-frame");
    result.peakMiB = test::processUse(process.pid()).peakKiB / 1024.0;
    result.firstFrameMs = (first.seconds - spawned) * 1000;
    result.firstFrameCpuMs = first.cpu * 1000;
    result.picture = traceLine(process.errors(), "picture").detail;
    if (runFor.count() > 0) {
        const auto until = std::chrono::steady_clock::now() + runFor;
        test::pollUntil(runFor + 1s, [&] { return std::chrono::steady_clock::now() >= until; });
    }
    process.terminate();
    process.waitExit(5s);
    const auto last = traceLine(process.errors(), "frames");
    const double frames = std::atof(last.detail.c_str()) - 1;
    if (last.found && first.found && frames > 0 && last.seconds > first.seconds) {
        result.cpuPerFrameMs = (last.cpu - first.cpu) / frames * 1000;
        result.fps = frames / (last.seconds - first.seconds);
    }
    return result;
}

std::map<std::string, std::optional<std::string>> hackEnvironment(const test::Xvfb& server, const test::TempDir& home,
                                                                  Window window) {
    return {{"DISPLAY", server.display()},
            {"HOME", home.path()},
            {"XDG_RUNTIME_DIR", home.path()},
            {"XSCREENSAVER_WINDOW", std::to_string(window)}};
}

} // namespace

int main() {
    test::TempDir home;
    test::writeFile(home / ".xscreensaver", std::string("grabDesktopImages:\tTrue\n"));

    std::printf("Start to the first frame with the picture, median of %d runs: the hack with xscreensaver's\n"
                "screenshot in a window of the monitor's size (limit), and the saver's viewer with a snapshot of\n"
                "that size in its 1024x768 window; wall time and the process's CPU time\n", kRuns);
    std::printf("%-10s %-12s %14s %12s %10s %8s  %s\n", "monitor", "program", "first frame ms", "CPU ms",
                "peak MiB", "limit", "picture (trace)");
    const struct {
        int width, height;
        double limitMs;
    } monitors[] = {{1920, 1080, 150}, {3840, 2160, 250}};
    for (const auto& monitor : monitors) {
        test::Xvfb server(monitor.width, monitor.height);
        test::XClient client(server.display());
        if (!server.ok() || !client.ok()) return 1;
        const Window window = makeSaverWindow(client, monitor.width, monitor.height);
        std::vector<double> first, cpu, peak, viewerFirst, viewerCpu, viewerPeak;
        std::string picture;
        test::TempDir runtime;
        test::writeFile(runtime / "Tovik.bmp", test::makeBmp(monitor.width, monitor.height, [](int x, int y) {
                            return test::Rgb{uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
                        }));
        for (int run = 0; run < kRuns; ++run) {
            Run r = runProgram({kViewer, "--root"}, hackEnvironment(server, home, window), 0ms);
            first.push_back(r.firstFrameMs), cpu.push_back(r.firstFrameCpuMs), peak.push_back(r.peakMiB);
            picture = r.picture;
            Run v = runProgram({kViewer}, {{"DISPLAY", server.display()}, {"XDG_RUNTIME_DIR", runtime.path()}}, 0ms);
            viewerFirst.push_back(v.firstFrameMs), viewerCpu.push_back(v.firstFrameCpuMs),
                viewerPeak.push_back(v.peakMiB);
        }
        std::printf("%4dx%-5d %-12s %14.1f %12.1f %10.1f %8.0f  %s\n", monitor.width, monitor.height,
                    "mirevo-hack", median(first), median(cpu), median(peak), monitor.limitMs, picture.c_str());
        std::printf("%4dx%-5d %-12s %14.1f %12.1f %10.1f %8s\n", monitor.width, monitor.height, "Mirevo.dll",
                    median(viewerFirst), median(viewerCpu), median(viewerPeak), "");
    }

    std::printf("\nCPU per frame at 1024x768 under Xvfb, 5 s after the first frame\n");
    std::printf("%-24s %10s %14s\n", "program", "frames/s", "CPU ms/frame");
    {
        test::Xvfb server(1024, 768);
        test::XClient client(server.display());
        if (!server.ok() || !client.ok()) return 1;
        test::TempDir runtime;
        test::writeFile(runtime / "Tovik.bmp", test::makeBmp(1024, 768, [](int x, int y) {
                            return test::Rgb{uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
                        }));
        Run standalone = runProgram({kViewer}, {{"DISPLAY", server.display()}, {"XDG_RUNTIME_DIR", runtime.path()}},
                                    5000ms);
        std::printf("%-24s %10.1f %14.2f\n", "Mirevo.dll (saver's)", standalone.fps, standalone.cpuPerFrameMs);
        const Window window = makeSaverWindow(client, 1024, 768);
        Run hack = runProgram({kViewer, "--root"}, hackEnvironment(server, home, window), 5000ms);
        std::printf("%-24s %10.1f %14.2f\n", "mirevo-hack --root", hack.fps, hack.cpuPerFrameMs);
    }
    return 0;
}
