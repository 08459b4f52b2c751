// Measures the viewer as a saver manager's hack under Xvfb: the time from its start to its first frame with
// xscreensaver's screenshot on the floor at 1920x1080 and 3840x2160, what it waited for on the way (the GL
// context, the picture, the texture), the same first frame from a bare GL program as the floor any hack stands
// on, and its CPU time per frame beside the saver's viewer at the same size. Prints tables.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// A process's resident memory (MiB) from the kernel's counts: the whole, and what of it is the process's
// own heap, files mapped (the libraries, shared with other processes), and shared memory (the GL's buffers
// the X server reads); Pss shares each page among the processes that map it.
struct Memory {
    double resident = 0, anonymous = 0, files = 0, shared = 0, proportional = 0;
};

double kibField(const std::string& path, const std::string& field) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0) return std::atof(line.c_str() + field.size() + 1) / 1024;
    return 0;
}

Memory memoryOf(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    return {kibField(proc + "/status", "VmRSS"), kibField(proc + "/status", "RssAnon"),
            kibField(proc + "/status", "RssFile"), kibField(proc + "/status", "RssShmem"),
            kibField(proc + "/smaps_rollup", "Pss")};
}

struct Run {
    double firstFrameMs = 0, firstFrameCpuMs = 0;
    double contextMs = 0, pictureMs = 0, textureMs = 0; // the steps on the way, from the start
    double peakMiB = 0;                                   // resident at most, by the first frame
    std::string picture;
    double cpuPerFrameMs = 0, fps = 0;
    Memory memory; // read at the end of a run that lasts
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
    const auto since = [&](const char* event) {
        const auto line = traceLine(process.errors(), event);
        return line.found ? (line.seconds - spawned) * 1000 : 0.0;
    };
    result.contextMs = since("context");
    result.pictureMs = since("picture-ready");
    result.textureMs = since("texture");
    result.picture = traceLine(process.errors(), "picture").detail;
    if (runFor.count() > 0) {
        const auto until = std::chrono::steady_clock::now() + runFor;
        test::pollUntil(runFor + 1s, [&] { return std::chrono::steady_clock::now() >= until; });
        result.memory = memoryOf(process.pid());
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
                "that size in its 1024x768 window; wall time and the process's CPU time. The hack's steps on the\n"
                "way: its GL context, the picture read (on a thread of its own), the texture.\n"
                "A bare GL program's first textured frame on a child of the same window is the floor under any hack.\n"
                "Peak: resident memory at most, by the first frame (MiB).\n",
                kRuns);
    std::printf("%-10s %-12s %12s %8s %6s %6s  %8s %8s %8s  %s\n", "monitor", "program", "first frame", "CPU",
                "peak", "limit", "context", "picture", "texture", "picture (trace)");
    const struct {
        int width, height;
        double limitMs;
    } monitors[] = {{1920, 1080, 150}, {3840, 2160, 200}};
    for (const auto& monitor : monitors) {
        test::Xvfb server(monitor.width, monitor.height);
        test::XClient client(server.display());
        if (!server.ok() || !client.ok()) return 1;
        const Window window = makeSaverWindow(client, monitor.width, monitor.height);
        std::vector<double> first, cpu, peak, context, pictureReady, texture, viewerFirst, viewerCpu, viewerPeak,
            floorFirst, floorCpu, floorPeak;
        std::string picture;
        test::TempDir runtime;
        test::writeFile(runtime / "Tovik.bmp", test::makeBmp(monitor.width, monitor.height, [](int x, int y) {
                            return test::Rgb{uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
                        }));
        for (int run = 0; run < kRuns; ++run) {
            Run r = runProgram({kViewer, "--root"}, hackEnvironment(server, home, window), 0ms);
            first.push_back(r.firstFrameMs), cpu.push_back(r.firstFrameCpuMs), peak.push_back(r.peakMiB);
            context.push_back(r.contextMs), pictureReady.push_back(r.pictureMs), texture.push_back(r.textureMs);
            picture = r.picture;
            Run v = runProgram({kViewer}, {{"DISPLAY", server.display()}, {"XDG_RUNTIME_DIR", runtime.path()}}, 0ms);
            viewerFirst.push_back(v.firstFrameMs), viewerCpu.push_back(v.firstFrameCpuMs),
                viewerPeak.push_back(v.peakMiB);
            Run f = runProgram({MIREVO_GL_FLOOR, std::to_string(window)}, {{"DISPLAY", server.display()}}, 0ms);
            floorFirst.push_back(f.firstFrameMs), floorCpu.push_back(f.firstFrameCpuMs), floorPeak.push_back(f.peakMiB);
        }
        std::printf("%4dx%-5d %-12s %12.1f %8.1f %6.0f %6.0f  %8.1f %8.1f %8.1f  %s\n", monitor.width,
                    monitor.height, "mirevo-hack", median(first), median(cpu), median(peak), monitor.limitMs,
                    median(context), median(pictureReady), median(texture), picture.c_str());
        std::printf("%4dx%-5d %-12s %12.1f %8.1f %6.0f\n", monitor.width, monitor.height, "Mirevo.dll",
                    median(viewerFirst), median(viewerCpu), median(viewerPeak));
        std::printf("%4dx%-5d %-12s %12.1f %8.1f %6.0f\n", monitor.width, monitor.height, "bare GL", median(floorFirst),
                    median(floorCpu), median(floorPeak));
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

    std::printf("\nMemory per copy at 1920x1080, 3 s after the first frame (MiB): resident, of it the process's own,\n"
                "files mapped (libraries, shared between copies) and shared memory (the frame the X server reads);\n"
                "Pss counts each shared page once among the processes that map it. A bare GL program holding its\n"
                "first textured frame is the floor\n");
    std::printf("%-14s %9s %9s %9s %9s %9s\n", "program", "resident", "own", "files", "shm", "Pss");
    {
        test::Xvfb server(1920, 1080);
        test::XClient client(server.display());
        if (!server.ok() || !client.ok()) return 1;
        const Window window = makeSaverWindow(client, 1920, 1080);
        const auto row = [](const char* name, const Memory& m) {
            std::printf("%-14s %9.1f %9.1f %9.1f %9.1f %9.1f\n", name, m.resident, m.anonymous, m.files, m.shared,
                        m.proportional);
        };
        row("mirevo-hack", runProgram({kViewer, "--root"}, hackEnvironment(server, home, window), 3000ms).memory);
        row("bare GL",
            runProgram({MIREVO_GL_FLOOR, std::to_string(window), "--hold"}, {{"DISPLAY", server.display()}}, 3000ms)
                .memory);
    }
    return 0;
}
