// Mirevo's hack beside xscreensaver's flipscreen3d (Debian's xscreensaver-gl), run in turns, three rounds
// each, in the same stand-in manager window at 1920x1080 (override-redirect, named by XSCREENSAVER_WINDOW, as
// xscreensaver 6 makes one) with the same screenshot and grabDesktopImages on, each at its own default frame
// rate, under Xvfb and llvmpipe: the time from the start to the desktop visible in the window, then over the 5 s
// from that moment the frames a second and the CPU of each program's whole process tree (the peer reads the
// screenshot through a child of its own), and the ratio of the two. The peer is a yardstick: it is run as
// installed, its frames counted by a preloaded swap counter, as ours are. Beside both, a bare GL program that
// draws the same floor at the same pace and nothing else: the least this picture costs on this machine.
//
//   peer_bench [--runs N] [--also LABEL=PATH]... [--also-env LABEL=VAR=VALUE]...
//     --runs       rounds of turns (3 unless told)
//     --also       another build's hack in the same turns
//     --also-env   the hack measured again with VAR=VALUE in its environment
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
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

#include <dirent.h>
#include <unistd.h>

#include "bench/harness/also_rows.h"
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
constexpr int kDefaultRuns = 3;
constexpr auto kMeasured = 5000ms;
// MIREVO_BENCH_VIEWER names another build's hack, to compare before and after a change in one run.
const std::string kHack = std::getenv("MIREVO_BENCH_VIEWER") ? std::getenv("MIREVO_BENCH_VIEWER")
                                                              : std::string(MIREVO_BIN_DIR) + "/mirevo-hack";
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

// A process's parent and the CPU it and its children have used (user and system time of all its threads, and
// of the children it has collected), in seconds; nothing for a process gone.
struct ProcessCpu {
    pid_t parent = 0;
    double seconds = 0;
};

std::optional<ProcessCpu> processCpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    // The fields after the name, which may hold blanks: state, then the parent (field 4), ..., utime (14),
    // stime (15), cutime (16), cstime (17).
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    ProcessCpu cpu;
    double ticks = 0;
    for (int i = 3; i <= 17 && fields >> field; ++i) {
        if (i == 4) cpu.parent = static_cast<pid_t>(std::atol(field.c_str()));
        if (i >= 14) ticks += std::atof(field.c_str());
    }
    cpu.seconds = ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
    return cpu;
}

// The CPU of the process and every process under it, in seconds: a child that has ended counts in its
// parent's collected time once collected, and in its own until then.
double treeCpuSeconds(pid_t root) {
    std::map<pid_t, ProcessCpu> all;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* entry = readdir(proc))
            if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9') {
                const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
                if (auto cpu = processCpu(pid)) all[pid] = *cpu;
            }
        closedir(proc);
    }
    const auto inTree = [&](pid_t pid) {
        for (int depth = 0; pid > 1 && depth < 64; ++depth) {
            if (pid == root) return true;
            const auto found = all.find(pid);
            if (found == all.end()) return false;
            pid = found->second.parent;
        }
        return false;
    };
    double seconds = 0;
    for (const auto& [pid, cpu] : all)
        if (inTree(pid)) seconds += cpu.seconds;
    return seconds;
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

using Environment = std::map<std::string, std::optional<std::string>>;

Run runOnce(const std::vector<std::string>& argv, const Environment& extra, test::XClient& client, Window window,
            const std::string& display, const test::TempDir& home) {
    Run run;
    const std::string countPath = home / "swaps";
    std::remove(countPath.c_str());
    XClearWindow(client.display(), window);
    client.sync();
    const double spawned = viewer::Trace::monotonicSeconds();
    Environment env = {{"DISPLAY", display},
                       {"HOME", home.path()},
                       {"XDG_RUNTIME_DIR", home.path()},
                       {"XSCREENSAVER_WINDOW", std::to_string(window)},
                       {"LIBGL_ALWAYS_SOFTWARE", "1"},
                       {"LD_PRELOAD", MIREVO_SWAP_COUNTER},
                       {"MIREVO_SWAP_COUNT", countPath}};
    for (const auto& [name, value] : extra)
        env[name] = value;
    test::ChildProcess process(argv, env);
    if (!test::pollUntil(30s, [&] { return somethingShows(client.display(), window) || !process.running(); }) ||
        !process.running())
        return run;
    run.visibleMs = (viewer::Trace::monotonicSeconds() - spawned) * 1000;
    // The frame on the screen has been counted once its swap has returned.
    Swaps before;
    test::pollUntil(2s, [&] { return (before = readSwaps(countPath)).count > 0; });
    const double cpuBefore = treeCpuSeconds(process.pid());
    const auto from = std::chrono::steady_clock::now(), until = from + kMeasured;
    test::pollUntil(kMeasured + 1s, [&] { return std::chrono::steady_clock::now() >= until; });
    const Swaps after = readSwaps(countPath);
    const double cpuAfter = treeCpuSeconds(process.pid());
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
    process.terminate();
    process.waitExit(5s);
    const double frames = static_cast<double>(after.count - before.count);
    const double seconds = after.last - before.last;
    if (frames > 0 && seconds > 0) {
        run.fps = frames / seconds;
        run.cpuPercent = (cpuAfter - cpuBefore) / wall * 100;
        run.cpuPerFrameMs = (cpuAfter - cpuBefore) / frames * 1000;
    }
    return run;
}

struct Row {
    std::string name;
    std::vector<std::string> argv;
    Environment extra = {};
    double visibleMs = 0, fps = 0, cpuPercent = 0, cpuPerFrameMs = 0;
};

struct Options {
    int runs = kDefaultRuns;
    std::vector<test::AlsoRow> also;
};

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const auto taken = test::takeSharedOption(argc, argv, i, options.runs, options.also);
        if (!taken || !*taken) return std::nullopt;
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const auto options = parse(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: peer_bench [--runs N] [--also LABEL=PATH]... [--also-env LABEL=VAR=VALUE]...\n");
        return 2;
    }
    const int runs = options->runs;
    test::TempDir home;
    test::writeFile(home / ".xscreensaver", std::string("grabDesktopImages:\tTrue\n"));
    test::Xvfb server(kWidth, kHeight);
    test::XClient client(server.display());
    if (!server.ok() || !client.ok()) return 1;
    const Window window = bench::makeSaverWindow(client, kWidth, kHeight);

    std::vector<Row> rows = {{"mirevo-hack", {kHack, "--root"}},
                             {"mirevo-hack --max-fps 30", {kHack, "--root", "--max-fps", "30"}}};
    for (const test::AlsoRow& also : options->also)
        rows.push_back(Row{also.label, {also.path.empty() ? kHack : also.path, "--root"}, also.extra});
    // What any program pays to show this floor at this pace here: the hack's own figure can come no lower.
    const size_t bare = rows.size();
    rows.push_back({"bare GL floor, 60/s", {MIREVO_GL_FLOOR, std::to_string(window), "--spin"}});
    if (access(kPeer.c_str(), X_OK) == 0)
        rows.push_back({"flipscreen3d", {kPeer, "--root"}});
    else
        std::printf("%s is not installed (Debian's xscreensaver-gl): no peer to measure against\n", kPeer.c_str());

    // Runs alternate between the programs, so that a change in the machine's load falls on each alike.
    const std::string loadBefore = test::loadAverage();
    std::vector<std::vector<Run>> taken(rows.size());
    for (int round = 0; round < runs; ++round)
        for (size_t i = 0; i < rows.size(); ++i)
            taken[i].push_back(runOnce(rows[i].argv, rows[i].extra, client, window, server.display(), home));
    for (size_t i = 0; i < rows.size(); ++i) {
        Row& row = rows[i];
        std::vector<double> visible, fps, cpu, perFrame;
        for (const Run& r : taken[i])
            visible.push_back(r.visibleMs), fps.push_back(r.fps), cpu.push_back(r.cpuPercent),
                perFrame.push_back(r.cpuPerFrameMs);
        row.visibleMs = median(visible), row.fps = median(fps), row.cpuPercent = median(cpu),
        row.cpuPerFrameMs = median(perFrame);
    }

    std::printf("In the same %dx%d manager window with the same screenshot, llvmpipe under Xvfb, median of %d runs\n"
                "taken in turns (frames and CPU over %lld s from the desktop visible; CPU is the process tree's, all\n"
                "threads and children, %% of one core; CPU vs peer: the CPU %% over the peer's, and per frame drawn)\n",
                kWidth, kHeight, runs, static_cast<long long>(kMeasured.count() / 1000));
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
    // Each round's ratio, taken minutes apart at most: the load that changes between rounds falls on both.
    std::vector<std::vector<double>> cpu(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        for (const Run& r : taken[i])
            cpu[i].push_back(r.cpuPercent);
    const auto overRounds = [&](const char* title, size_t against) {
        std::printf("\nCPU %% over the %s in the same round (median, then each round)\n", title);
        for (size_t i = 0; i < against; ++i) {
            const test::RoundRatios r = test::roundRatios(cpu[i], cpu[against]);
            std::printf("%-26s %5.2fx  (%s )\n", rows[i].name.c_str(), r.median, r.each.c_str());
        }
    };
    if (peer) overRounds("peer's", rows.size() - 1);
    // Against the bare floor: how far above the least this picture costs the hack is.
    overRounds("bare GL floor's", bare);
    std::printf("load average: %s before, %s after\n", loadBefore.c_str(), test::loadAverage().c_str());
    std::printf("targets: CPU <= 0.85x the peer's at default settings, <= 0.70x per frame drawn\n");
    return 0;
}
