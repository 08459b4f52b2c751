// Measures Mirevo.scr /s in a Wayland session beside the X11 path, at 1920x1080 per output: the time from the
// start to the floor's first frame (every output's surface drawn once), and the CPU per frame of the viewer
// and of the display server, over 5 s of frames. Wayland: headless sway (pixman) with one and with two
// outputs, a frame being one committed on each output (the viewer commits one per frame callback there);
// X11: Xvfb of the same size, where the viewer's window is its fixed 1024x768. Prints one table.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bench/harness/bench_numbers.h"
#include "bench/harness/process_use.h"
#include "bench/viewer/trace_lines.h"
#include "tests/harness/child_process.h"
#include "tests/harness/headless_sway.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/xvfb.h"
#include "viewer/scene/trace.h"

using namespace mirevo;
using namespace std::chrono_literals;
using bench::traceLine;
using test::median;

namespace {

constexpr int kRuns = 3;
const std::string kSaver = std::string(MIREVO_BIN_DIR) + "/Mirevo.scr";

struct Run {
    double firstFrameMs = 0, fps = 0, viewerCpuPerFrameMs = 0, serverCpuPerFrameMs = 0;
};

// Frames of the whole floor from the viewer's count: "<frames drawn> [<frames shown on each output>...]".
// Where each output's are given, their mean, as an output the compositor does not want a frame on is left
// out; the first number otherwise (every output drawn on every frame).
double floorFrames(const std::string& detail) {
    std::istringstream in(detail);
    double drawn = 0, shown = 0, each = 0;
    int outputs = 0;
    in >> drawn;
    while (in >> each)
        shown += each, ++outputs;
    return outputs ? shown / outputs : drawn;
}

// The saver from its start to the viewer's first frame, then frames for runFor; the server's CPU is read
// over the same frames.
Run runSaver(std::map<std::string, std::optional<std::string>> env, pid_t server, std::chrono::milliseconds runFor) {
    Run result;
    test::TempDir runtime;
    env["XDG_RUNTIME_DIR"] = runtime.path();
    env["HOME"] = runtime.path();
    env["MIREVO_VIEWER_TRACE"] = "1";
    env["LIBGL_ALWAYS_SOFTWARE"] = "1";
    const double spawned = viewer::Trace::monotonicSeconds();
    test::ChildProcess saver({kSaver, "/s"}, env);
    if (!test::pollUntil(30s, [&] { return traceLine(saver.errors(), "first-frame").found || !saver.running(); }))
        return result;
    const auto first = traceLine(saver.errors(), "first-frame");
    const double serverBefore = test::processUse(server).cpuSeconds;
    result.firstFrameMs = (first.seconds - spawned) * 1000;
    const auto until = std::chrono::steady_clock::now() + runFor;
    test::pollUntil(runFor + 1s, [&] { return std::chrono::steady_clock::now() >= until; });
    const double serverAfter = test::processUse(server).cpuSeconds;
    saver.terminate();
    saver.waitExit(5s);
    const auto last = traceLine(saver.errors(), "frames");
    const double frames = floorFrames(last.detail) - 1;
    if (last.found && frames > 0 && last.seconds > first.seconds) {
        result.fps = frames / (last.seconds - first.seconds);
        result.viewerCpuPerFrameMs = (last.cpu - first.cpu) / frames * 1000;
        result.serverCpuPerFrameMs = (serverAfter - serverBefore) / frames * 1000;
    }
    return result;
}

void printRow(const char* path, const std::vector<Run>& runs) {
    std::vector<double> first, fps, viewerCpu, serverCpu;
    for (const Run& r : runs)
        first.push_back(r.firstFrameMs), fps.push_back(r.fps), viewerCpu.push_back(r.viewerCpuPerFrameMs),
            serverCpu.push_back(r.serverCpuPerFrameMs);
    std::printf("%-34s %16.1f %10.1f %16.2f %16.2f\n", path, median(first), median(fps), median(viewerCpu),
                median(serverCpu));
}

} // namespace

int main() {
    if (const std::string why = test::HeadlessSway::unavailableReason(); !why.empty()) {
        std::fprintf(stderr, "wayland_bench: %s\n", why.c_str());
        return 1;
    }
    std::printf("Mirevo.scr /s at 1920x1080 per output, median of %d runs; CPU per frame over 5 s of frames\n", kRuns);
    std::printf("%-34s %16s %10s %16s %16s\n", "path", "to floor ms", "frames/s", "viewer CPU ms", "server CPU ms");
    {
        test::Xvfb server(1920, 1080);
        if (!server.ok()) return 1;
        std::vector<Run> runs;
        for (int run = 0; run < kRuns; ++run)
            runs.push_back(runSaver({{"DISPLAY", server.display()}, {"WAYLAND_DISPLAY", std::nullopt}}, server.pid(), 5000ms));
        printRow("X11 (Xvfb, 1024x768 window)", runs);
    }
    for (int outputs : {1, 2}) {
        std::vector<test::SwayOutput> layout;
        for (int i = 0; i < outputs; ++i)
            layout.push_back({1920, 1080, 1920 * i, 0, {uint8_t(200 - 100 * i), 50, uint8_t(100 * i)}});
        test::HeadlessSway sway(layout);
        if (!sway.ok()) return 1;
        test::TempDir runtime;
        std::vector<Run> runs;
        for (int run = 0; run < kRuns; ++run)
            runs.push_back(runSaver(sway.clientEnvironment(runtime.path()), sway.pid(), 5000ms));
        printRow(outputs == 1 ? "Wayland (sway, 1 output)" : "Wayland (sway, 2 outputs)", runs);
    }
    return 0;
}
