// Escape to the lock on screen in a headless sway (two outputs, software rendering) with the real swaylock,
// beside Escape to the floor's end with no lock (a key within the grace time), so that the cost of locking
// shows.
//   lock_bench [--runs N]   (5 of each unless told)
// The key is sent by wtype one second after it starts (a virtual keyboard must be there before its key
// counts); the time runs from then to the first screenshot (a row through both outputs' top corners, taken as
// fast as grim allows) that shows swaylock's white, or the desktop's red and green, on both outputs.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bench/harness/bench_numbers.h"
#include "tests/harness/child_process.h"
#include "tests/harness/headless_sway.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/idle/process_scan.h"

using namespace mirevo::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

enum class Corners { Desktop, Lock, Black, Other, None };

// The pixels (10, 10) of the first output and (810, 10) of the second.
Corners corners(const std::string& socket) {
    ChildProcess grim({"/usr/bin/grim", "-g", "10,10 801x1", "-t", "ppm", "-"},
                      {{"WAYLAND_DISPLAY", socket}});
    if (grim.waitExit(10s) != 0) return Corners::None;
    const std::string ppm = grim.output();
    if (ppm.size() < 801 * 3) return Corners::None;
    const auto pixel = [&](size_t i) {
        const size_t at = ppm.size() - (801 - i) * 3;
        return std::array<uint8_t, 3>{uint8_t(ppm[at]), uint8_t(ppm[at + 1]), uint8_t(ppm[at + 2])};
    };
    const auto left = pixel(0), right = pixel(800);
    if (colourDistance(left, {255, 0, 0}) < 8 && colourDistance(right, {0, 255, 0}) < 8)
        return Corners::Desktop;
    if (colourDistance(left, {255, 255, 255}) < 8 && colourDistance(right, {255, 255, 255}) < 8)
        return Corners::Lock;
    if (colourDistance(left, {0, 0, 0}) < 8 && colourDistance(right, {0, 0, 0}) < 8) return Corners::Black;
    return Corners::Other;
}

// One run: mirevo-idle starts the saver after a second, the floor is waited for, Escape; the milliseconds
// from the key to what ends the run on screen, or a negative number when it did not come.
double run(HeadlessSway& sway, const std::string& lockAfter, Corners end) {
    TempDir runtime;
    auto env = sway.clientEnvironment(runtime.path());
    env["HOME"] = runtime / "home";
    env["DBUS_SESSION_BUS_ADDRESS"] = std::nullopt;
    env["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + runtime / "no-system-bus";
    ChildProcess idle({builtProgram("mirevo-idle"), "--idle-seconds", "1", "--lock-after", lockAfter}, env);
    // The floor: black corners a while after the saver's start (its loading is black too).
    const bool up = pollUntil(60s,
                              [&] {
                                  return !processesRunning(builtProgram("Mirevo.dll")).empty() &&
                                         corners(sway.socket()) == Corners::Black;
                              }) &&
                    pollUntil(10s, [&] {
                        const auto shot = sway.screenshot();
                        if (!shot) return false;
                        int coloured = 0;
                        for (int x = 0; x < 1440; x += 20)
                            coloured += colourDistance(shot->at(x, 500), {0, 0, 0}) > 40;
                        return coloured > 5;
                    });
    if (!up) return -1;
    const auto started = Clock::now();
    ChildProcess wtype({"/usr/bin/wtype", "-s", "1000", "-k", "Escape"},
                       {{"WAYLAND_DISPLAY", sway.socket()}});
    const auto key = started + 1000ms;
    std::optional<Clock::time_point> shown;
    pollUntil(15s, [&] {
        if (corners(sway.socket()) == end) shown = Clock::now();
        return shown.has_value();
    });
    wtype.waitExit(10s);
    kill(idle.pid(), SIGTERM);
    idle.waitExit(10s);
    const std::string socket = "WAYLAND_DISPLAY=" + sway.socket() + '\0';
    for (pid_t pid : processesRunning("/usr/bin/swaylock"))
        if (procFile("/proc/" + std::to_string(pid) + "/environ").find(socket) != std::string::npos)
            kill(pid, SIGTERM);
    pollUntil(10s, [&] { return corners(sway.socket()) == Corners::Desktop; });
    return shown ? ms(*shown - key) : -1;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5;
    if (argc == 3 && std::string(argv[1]) == "--runs") runs = std::max(1, std::atoi(argv[2]));
    if (const std::string why = HeadlessSway::unavailableReason(); !why.empty())
        return std::fprintf(stderr, "%s\n", why.c_str()), 1;
    HeadlessSway sway;
    if (!sway.ok()) return std::fprintf(stderr, "sway did not start: %s\n", sway.log().c_str()), 1;

    std::printf("Escape to what ends the run on screen, headless sway 1.7, 800x600 + 640x480, pixman; %d "
                "runs each\n\n",
                runs);
    std::printf("| run | what ends it | median ms | min ms | max ms | failed |\n| --- | --- | ---: | ---: | "
                "---: | ---: |\n");
    const struct {
        const char* name;
        const char* lockAfter;
        Corners end;
        const char* shown;
    } kinds[] = {
        {"past the grace time (--lock-after 0)", "0", Corners::Lock, "swaylock -f covers both outputs"},
        {"within the grace time (--lock-after 600)", "600", Corners::Desktop, "the desktop again, no lock"}};
    for (const auto& kind : kinds) {
        std::vector<double> times;
        int failed = 0;
        for (int i = 0; i < runs; ++i) {
            const double t = run(sway, kind.lockAfter, kind.end);
            if (t < 0)
                ++failed;
            else
                times.push_back(t);
        }
        const double least = times.empty() ? 0 : *std::min_element(times.begin(), times.end());
        const double most = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
        std::printf("| %s | %s | %.0f | %.0f | %.0f | %d |\n", kind.name, kind.shown, median(times), least,
                    most, failed);
        std::fflush(stdout);
    }
    return 0;
}
