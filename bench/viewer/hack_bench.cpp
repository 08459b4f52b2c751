// Measures the viewer as a saver manager's hack under Xvfb: the time from its start to its first frame with
// xscreensaver's screenshot on the floor at 1920x1080 and 3840x2160 beside a bare GL program's first textured
// frame on the same display (the floor under any hack), run in turns so that the machine's load falls on each
// alike; what each waited for on the way; the hack's CPU time per frame beside the saver's viewer; and its
// memory per copy beside the bare program's. Prints tables.
//
//   hack_bench [--runs N] [--first-frame | --memory] [--also LABEL=PATH]... [--also-env LABEL=VAR=VALUE]...
//     --first-frame    the first table only; --memory the memory table only
//     --size WIDTH     the first table at that monitor width only (1920 or 3840)
//     --also           another build's hack (its program folder beside it) in the same turns
//     --also-env       the hack measured again with VAR=VALUE in its environment
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "bench/viewer/saver_window.h"
#include "bench/viewer/trace_lines.h"
#include "bench/harness/also_rows.h"
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

using Environment = std::map<std::string, std::optional<std::string>>;

const std::string kViewer = std::string(MIREVO_BIN_DIR) + "/Mirevo.dll";
// What the managers run: the hack's own program where the build has one, else the viewer with arguments.
std::string defaultHack() {
    const std::string hack = std::string(MIREVO_BIN_DIR) + "/mirevo-hack";
    return access(hack.c_str(), X_OK) == 0 ? hack : kViewer;
}

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
    // The steps on the way, from the spawn: main reached (the program and its libraries loaded), the GL
    // context current, the picture ready, the texture built.
    double mainMs = 0, contextMs = 0, pictureMs = 0, textureMs = 0;
    double peakMiB = 0; // resident at most, by the first frame
    std::string picture;
    double cpuPerFrameMs = 0, fps = 0;
    Memory memory; // read at the end of a run that lasts
};

Run runProgram(std::vector<std::string> argv, Environment env, std::chrono::milliseconds runFor) {
    Run result;
    env["MIREVO_VIEWER_TRACE"] = "1";
    env["LIBGL_ALWAYS_SOFTWARE"] = "1";
    const double spawned = viewer::Trace::monotonicSeconds();
    test::ChildProcess process(std::move(argv), env);
    if (!test::pollUntil(30s, [&] { return traceLine(process.errors(), "first-frame").found || !process.running(); }))
        return result;
    const auto first = traceLine(process.errors(), "first-frame");
    result.peakMiB = test::processUse(process.pid()).peakKiB / 1024.0;
    if (!first.found) return result;
    result.firstFrameMs = (first.seconds - spawned) * 1000;
    result.firstFrameCpuMs = first.cpu * 1000;
    const auto since = [&](const char* event) {
        const auto line = traceLine(process.errors(), event);
        return line.found ? (line.seconds - spawned) * 1000 : 0.0;
    };
    result.mainMs = since("start");
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
    if (last.found && frames > 0 && last.seconds > first.seconds) {
        result.cpuPerFrameMs = (last.cpu - first.cpu) / frames * 1000;
        result.fps = frames / (last.seconds - first.seconds);
    }
    return result;
}

Environment hackEnvironment(const test::Xvfb& server, const test::TempDir& home, Window window) {
    return {{"DISPLAY", server.display()},
            {"HOME", home.path()},
            {"XDG_RUNTIME_DIR", home.path()},
            {"XSCREENSAVER_WINDOW", std::to_string(window)}};
}

// One program measured in the first table: a hack (given the manager's window), the saver's viewer or the
// bare GL program.
enum class Kind { Hack, Viewer, BareGl };
struct Program {
    std::string label;
    Kind kind = Kind::Hack;
    std::string path;
    Environment extra;
    std::vector<Run> runs;
};

// Sums the texture's levels as the GL keeps them (four bytes a texel), in MiB.
double textureMiB(int width, int height) {
    double bytes = 0;
    for (;;) {
        bytes += 4.0 * width * height;
        if (width == 1 && height == 1) break;
        width = std::max(1, width / 2), height = std::max(1, height / 2);
    }
    return bytes / (1 << 20);
}

struct Options {
    int runs = 5;
    bool firstFrameOnly = false, memoryOnly = false;
    int onlyWidth = 0; // --size: one monitor of the first table
    std::vector<test::AlsoRow> also;
};

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (const auto taken = test::takeSharedOption(argc, argv, i, options.runs, options.also)) {
            if (!*taken) return std::nullopt;
            continue;
        }
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--first-frame") {
            options.firstFrameOnly = true;
        } else if (arg == "--size" && hasValue) {
            options.onlyWidth = std::atoi(argv[++i]);
        } else if (arg == "--memory") {
            options.memoryOnly = true;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// The first table: each program's first frame, in turns, at both monitor sizes.
bool firstFrameTable(const Options& options, const test::TempDir& home, const std::string& hack) {
    const std::vector<std::string> hackArguments = {"--root"};
    std::printf("Start to the first frame with the picture, median of %d runs taken in turns: the hack (%s) with\n"
                "xscreensaver's screenshot in a window of the monitor's size, the saver's viewer with a snapshot of\n"
                "that size in its 1024x768 window, and a bare GL program's first textured frame on a child of the\n"
                "same window, the floor under any hack; wall time and the process's CPU time.\n"
                "vs bare: the median of each turn's first frame over the bare program's (target <= 1.15).\n"
                "Steps, ms from the spawn: main reached (program and libraries loaded), GL context current,\n"
                "picture ready (read on a thread of its own), texture built. Peak: resident MiB by the first frame.\n",
                options.runs, std::filesystem::path(hack).filename().c_str());
    std::printf("%-10s %-22s %9s %7s %7s %5s  %6s %7s %7s %7s  %s\n", "monitor", "program", "first ms", "vs bare",
                "CPU ms", "peak", "main", "context", "picture", "texture", "picture (trace)");
    const struct {
        int width, height;
    } monitors[] = {{1920, 1080}, {3840, 2160}};
    for (const auto& monitor : monitors) {
        if (options.onlyWidth && options.onlyWidth != monitor.width) continue;
        test::Xvfb server(monitor.width, monitor.height);
        test::XClient client(server.display());
        if (!server.ok() || !client.ok()) return false;
        const Window window = makeSaverWindow(client, monitor.width, monitor.height);
        test::TempDir runtime;
        test::writeFile(runtime / "Tovik.bmp", test::makeBmp(monitor.width, monitor.height, [](int x, int y) {
                            return test::Rgb{uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
                        }));
        std::vector<Program> programs = {{"mirevo-hack", Kind::Hack, hack, {}, {}}};
        for (const test::AlsoRow& also : options.also)
            programs.push_back(Program{also.label, Kind::Hack, also.path.empty() ? defaultHack() : also.path, also.extra, {}});
        programs.push_back({"Mirevo.dll (1024x768)", Kind::Viewer, kViewer, {}, {}});
        programs.push_back({"bare GL", Kind::BareGl, MIREVO_GL_FLOOR, {}, {}});
        for (int run = 0; run < options.runs; ++run)
            for (Program& program : programs) {
                std::vector<std::string> argv = {program.path};
                Environment env;
                switch (program.kind) {
                case Kind::Hack:
                    argv.insert(argv.end(), hackArguments.begin(), hackArguments.end());
                    env = hackEnvironment(server, home, window);
                    break;
                case Kind::Viewer:
                    env = {{"DISPLAY", server.display()}, {"XDG_RUNTIME_DIR", runtime.path()}};
                    break;
                case Kind::BareGl:
                    argv.push_back(std::to_string(window));
                    env = {{"DISPLAY", server.display()}};
                    break;
                }
                for (const auto& [name, value] : program.extra)
                    env[name] = value;
                program.runs.push_back(runProgram(argv, env, 0ms));
            }
        const std::vector<Run>& bare = programs.back().runs;
        for (const Program& program : programs) {
            std::vector<double> first, ratio, cpu, peak, main, context, picture, texture;
            std::string described;
            for (size_t i = 0; i < program.runs.size(); ++i) {
                const Run& r = program.runs[i];
                first.push_back(r.firstFrameMs), cpu.push_back(r.firstFrameCpuMs), peak.push_back(r.peakMiB);
                main.push_back(r.mainMs), context.push_back(r.contextMs), picture.push_back(r.pictureMs);
                texture.push_back(r.textureMs);
                if (bare[i].firstFrameMs > 0) ratio.push_back(r.firstFrameMs / bare[i].firstFrameMs);
                if (!r.picture.empty()) described = r.picture;
            }
            // A step the program does not take is shown as "-".
            const auto step = [](double ms) {
                char text[16] = "-";
                if (ms > 0) std::snprintf(text, sizeof text, "%.1f", ms);
                return std::string(text);
            };
            std::printf("%4dx%-5d %-22s %9.1f %7.2f %7.1f %5.0f  %6s %7s %7s %7s  %s\n", monitor.width,
                        monitor.height, program.label.c_str(), median(first), median(ratio), median(cpu),
                        median(peak), step(median(main)).c_str(), step(median(context)).c_str(),
                        step(median(picture)).c_str(), step(median(texture)).c_str(), described.c_str());
        }
    }
    return true;
}

// The hack's CPU per frame beside the saver's viewer.
bool cpuTable(const test::TempDir& home, const std::string& hack) {
    std::printf("\nCPU per frame at 1024x768 under Xvfb, 5 s after the first frame\n");
    std::printf("%-24s %10s %14s\n", "program", "frames/s", "CPU ms/frame");
    {
        test::Xvfb server(1024, 768);
        test::XClient client(server.display());
        if (!server.ok() || !client.ok()) return false;
        test::TempDir runtime;
        test::writeFile(runtime / "Tovik.bmp", test::makeBmp(1024, 768, [](int x, int y) {
                            return test::Rgb{uint8_t(x), uint8_t(y), uint8_t(x ^ y)};
                        }));
        Run standalone = runProgram({kViewer}, {{"DISPLAY", server.display()}, {"XDG_RUNTIME_DIR", runtime.path()}},
                                    5000ms);
        std::printf("%-24s %10.1f %14.2f\n", "Mirevo.dll (saver's)", standalone.fps, standalone.cpuPerFrameMs);
        const Window window = makeSaverWindow(client, 1024, 768);
        Run hackRun = runProgram({hack, "--root"}, hackEnvironment(server, home, window), 5000ms);
        std::printf("%-24s %10.1f %14.2f\n", "mirevo-hack --root", hackRun.fps, hackRun.cpuPerFrameMs);
    }

    return true;
}

// Memory per copy at 1080p, the hack's own against its target.
bool memoryTable(const Options& options, const test::TempDir& home, const std::string& hack) {
    constexpr int kMemoryRuns = 3;
    const double texture = textureMiB(1920, 1080);
    std::printf("\nMemory per copy at 1920x1080, 3 s after the first frame, median of %d runs taken in turns (MiB):\n"
                "resident, of it the process's own, files mapped (libraries, shared between copies) and shared\n"
                "memory (the frame the X server reads); Pss counts each shared page once among the processes that\n"
                "map it. A bare GL program holding its first textured frame is the floor; the hack's own target is\n"
                "the bare program's own + the texture's levels (%.1f MiB) + 1 MiB\n",
                kMemoryRuns, texture);
    std::printf("%-22s %9s %9s %9s %9s %9s\n", "program", "resident", "own", "files", "shm", "Pss");
    {
        test::Xvfb server(1920, 1080);
        test::XClient client(server.display());
        if (!server.ok() || !client.ok()) return false;
        const Window window = makeSaverWindow(client, 1920, 1080);
        std::vector<Program> programs = {{"mirevo-hack", Kind::Hack, hack, {}, {}}};
        for (const test::AlsoRow& also : options.also)
            programs.push_back(Program{also.label, Kind::Hack, also.path.empty() ? defaultHack() : also.path, also.extra, {}});
        programs.push_back({"bare GL", Kind::BareGl, MIREVO_GL_FLOOR, {}, {}});
        for (int run = 0; run < kMemoryRuns; ++run)
            for (Program& program : programs) {
                if (program.kind == Kind::BareGl) {
                    program.runs.push_back(runProgram({program.path, std::to_string(window), "--hold"},
                                                      {{"DISPLAY", server.display()}}, 3000ms));
                    continue;
                }
                Environment env = hackEnvironment(server, home, window);
                for (const auto& [name, value] : program.extra)
                    env[name] = value;
                program.runs.push_back(runProgram({program.path, "--root"}, env, 3000ms));
            }
        std::vector<double> owns;
        for (const Program& program : programs) {
            std::vector<double> resident, own, files, shared, proportional;
            for (const Run& r : program.runs)
                resident.push_back(r.memory.resident), own.push_back(r.memory.anonymous),
                    files.push_back(r.memory.files), shared.push_back(r.memory.shared),
                    proportional.push_back(r.memory.proportional);
            std::printf("%-22s %9.1f %9.1f %9.1f %9.1f %9.1f\n", program.label.c_str(), median(resident),
                        median(own), median(files), median(shared), median(proportional));
            owns.push_back(median(own));
        }
        std::printf("the hack's own: %.1f MiB against a target of %.1f (bare %.1f + texture %.1f + 1)\n",
                    owns.front(), owns.back() + texture + 1, owns.back(), texture);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: hack_bench [--runs N] [--first-frame | --memory] [--also LABEL=PATH]... "
                             "[--also-env LABEL=VAR=VALUE]...\n");
        return 2;
    }
    test::TempDir home;
    test::writeFile(home / ".xscreensaver", std::string("grabDesktopImages:\tTrue\n"));
    const std::string hack = defaultHack();
    if (!options->memoryOnly && !firstFrameTable(*options, home, hack)) return 1;
    if (options->firstFrameOnly) return 0;
    if (!options->memoryOnly && !cpuTable(home, hack)) return 1;
    return memoryTable(*options, home, hack) ? 0 : 1;
}
