// Measures the floor in a Wayland session beside the X11 paths, at 1920x1080 per output: the time from the
// start to the floor's first frame (every output's surface drawn once), and the frames a second and CPU per
// frame of the viewer and of the display server over 5 s of frames. Rows: Mirevo.scr /s on Xvfb (the
// viewer's fixed 1024x768 window), the hack full screen at 1920x1080 on an Xvfb of that size (the floor at
// the same pixels as one Wayland output), and Mirevo.scr /s on headless sway (pixman) with one and with two
// outputs, a frame being one committed on each output: as the viewer draws (the floor drawn once for outputs
// of one size and read into its own shared memory), and as it drew before, into an EGL window surface per
// output (MIREVO_WAYLAND_FRAMES=window). The rows' runs take turns, so that a machine whose load changes
// weighs on each alike. Prints one table and the ratios the Wayland floor is held to.
//   wayland_bench [--runs N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench/harness/bench_numbers.h"
#include "bench/harness/process_use.h"
#include "bench/viewer/saver_window.h"
#include "bench/viewer/trace_lines.h"
#include "tests/harness/child_process.h"
#include "tests/harness/headless_sway.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"
#include "viewer/scene/trace.h"

using namespace mirevo;
using namespace std::chrono_literals;
using bench::traceLine;
using test::median;

namespace {

const std::string kSaver = std::string(MIREVO_BIN_DIR) + "/Mirevo.scr";
const std::string kViewer = std::string(MIREVO_BIN_DIR) + "/Mirevo.dll";
constexpr auto kFrameTime = 5000ms;

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

// A program from its start to the viewer's first frame, then frames for kFrameTime; the server's CPU is
// read over the same frames.
Run runProgram(std::vector<std::string> argv, std::map<std::string, std::optional<std::string>> env, pid_t server) {
    Run result;
    test::TempDir runtime;
    if (!env.count("XDG_RUNTIME_DIR")) env["XDG_RUNTIME_DIR"] = runtime.path();
    if (!env.count("HOME")) env["HOME"] = runtime.path();
    env["MIREVO_VIEWER_TRACE"] = "1";
    env["LIBGL_ALWAYS_SOFTWARE"] = "1";
    const double spawned = viewer::Trace::monotonicSeconds();
    test::ChildProcess program(std::move(argv), env);
    if (!test::pollUntil(30s, [&] { return traceLine(program.errors(), "first-frame").found || !program.running(); }))
        return result;
    const auto first = traceLine(program.errors(), "first-frame");
    const double serverBefore = test::processUse(server).cpuSeconds;
    result.firstFrameMs = (first.seconds - spawned) * 1000;
    const auto until = std::chrono::steady_clock::now() + kFrameTime;
    test::pollUntil(kFrameTime + 1s, [&] { return std::chrono::steady_clock::now() >= until; });
    const double serverAfter = test::processUse(server).cpuSeconds;
    program.terminate();
    program.waitExit(5s);
    const auto last = traceLine(program.errors(), "frames");
    const double frames = floorFrames(last.detail) - 1;
    if (last.found && frames > 0 && last.seconds > first.seconds) {
        result.fps = frames / (last.seconds - first.seconds);
        result.viewerCpuPerFrameMs = (last.cpu - first.cpu) / frames * 1000;
        result.serverCpuPerFrameMs = (serverAfter - serverBefore) / frames * 1000;
    }
    return result;
}

struct Row {
    std::string path;
    std::function<Run()> run;
    std::vector<Run> runs = {};
    double fps() const { return pick(&Run::fps); }
    double viewerCpu() const { return pick(&Run::viewerCpuPerFrameMs); }
    double serverCpu() const { return pick(&Run::serverCpuPerFrameMs); }
    double first() const { return pick(&Run::firstFrameMs); }
    double pick(double Run::*field) const {
        std::vector<double> values;
        for (const Run& r : runs)
            values.push_back(r.*field);
        return median(values);
    }
};

std::string load() {
    double one = 0, five = 0, fifteen = 0;
    FILE* in = std::fopen("/proc/loadavg", "r");
    if (in) {
        if (std::fscanf(in, "%lf %lf %lf", &one, &five, &fifteen) != 3) one = five = fifteen = 0;
        std::fclose(in);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", one, five, fifteen);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    if (argc == 3 && std::string(argv[1]) == "--runs") runs = std::max(1, std::atoi(argv[2]));
    if (const std::string why = test::HeadlessSway::unavailableReason(); !why.empty()) {
        std::fprintf(stderr, "wayland_bench: %s\n", why.c_str());
        return 1;
    }
    // Every server up first, idle while another row runs.
    test::Xvfb small(1920, 1080), large(1920, 1080);
    test::XClient client(large.display());
    if (!small.ok() || !large.ok() || !client.ok()) return 1;
    const Window window = bench::makeSaverWindow(client, 1920, 1080);
    test::TempDir hackHome;
    test::writeFile(hackHome / ".xscreensaver", std::string("grabDesktopImages:\tTrue\n"));
    std::vector<std::unique_ptr<test::HeadlessSway>> sways;
    for (int outputs : {1, 2}) {
        std::vector<test::SwayOutput> layout;
        for (int i = 0; i < outputs; ++i)
            layout.push_back({1920, 1080, 1920 * i, 0, {uint8_t(200 - 100 * i), 50, uint8_t(100 * i)}});
        sways.push_back(std::make_unique<test::HeadlessSway>(layout));
        if (!sways.back()->ok()) return 1;
    }
    test::TempDir swayRuntime;

    std::vector<Row> rows;
    rows.push_back({"X11 saver (Xvfb, 1024x768 window)", [&] {
                        return runProgram({kSaver, "/s"}, {{"DISPLAY", small.display()}, {"WAYLAND_DISPLAY", std::nullopt}},
                                          small.pid());
                    }});
    rows.push_back({"X11 hack (Xvfb, 1920x1080 window)", [&] {
                        return runProgram({kViewer, "--root"},
                                          {{"DISPLAY", large.display()},
                                           {"WAYLAND_DISPLAY", std::nullopt},
                                           {"HOME", hackHome.path()},
                                           {"XSCREENSAVER_WINDOW", std::to_string(window)}},
                                          large.pid());
                    }});
    for (const bool window : {false, true})
        for (size_t i = 0; i < sways.size(); ++i) {
            std::string path = i == 0 ? "Wayland (sway, 1 output" : "Wayland (sway, 2 outputs";
            path += window ? ", window)" : ")";
            rows.push_back({path, [&, i, window] {
                                auto env = sways[i]->clientEnvironment(swayRuntime.path());
                                env["MIREVO_WAYLAND_FRAMES"] = window ? std::optional<std::string>("window")
                                                                      : std::nullopt;
                                return runProgram({kSaver, "/s"}, env, sways[i]->pid());
                            }});
        }

    const std::string loadBefore = load();
    for (int run = 0; run < runs; ++run)
        for (Row& row : rows)
            row.runs.push_back(row.run());

    std::printf("The floor at 1920x1080 per output, median of %d runs taken in turn; CPU per frame over 5 s of frames\n",
                runs);
    std::printf("load average (1, 5, 15 min): %s before, %s after\n", loadBefore.c_str(), load().c_str());
    std::printf("%-36s %12s %10s %15s %15s\n", "path", "to floor ms", "frames/s", "viewer CPU ms", "server CPU ms");
    for (const Row& row : rows)
        std::printf("%-36s %12.1f %10.1f %15.2f %15.2f\n", row.path.c_str(), row.first(), row.fps(), row.viewerCpu(),
                    row.serverCpu());
    const Row &hack = rows[1], &one = rows[2], &two = rows[3], &oneWindow = rows[4], &twoWindow = rows[5];
    const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("\nWayland, one output, against the X11 hack at the same size:\n");
    std::printf("  frames/s %.2fx (target >= 0.9x)\n", ratio(one.fps(), hack.fps()));
    std::printf("  viewer CPU per frame %.2fx (target <= 1x)\n", ratio(one.viewerCpu(), hack.viewerCpu()));
    // The two run one after the other in each round: a load that changes between rounds falls on both alike.
    std::vector<double> oneCpu, hackCpu;
    for (const Run& r : one.runs)
        oneCpu.push_back(r.viewerCpuPerFrameMs);
    for (const Run& r : hack.runs)
        hackCpu.push_back(r.viewerCpuPerFrameMs);
    const test::RoundRatios rounds = test::roundRatios(oneCpu, hackCpu);
    std::printf("    the same in each round: median %.2fx (%s )\n", rounds.median, rounds.each.c_str());
    std::printf("  compositor CPU per frame %.2f ms (target <= 8 ms)\n", one.serverCpu());
    std::printf("Wayland, two outputs against one: frames/s %.2fx (target >= 0.9x); window surfaces: %.2fx\n",
                ratio(two.fps(), one.fps()), ratio(twoWindow.fps(), oneWindow.fps()));
    std::printf("Wayland, one output, shared memory against a window surface: viewer CPU per frame %.2fx, "
                "compositor %.2fx\n",
                ratio(one.viewerCpu(), oneWindow.viewerCpu()), ratio(one.serverCpu(), oneWindow.serverCpu()));
    return 0;
}
