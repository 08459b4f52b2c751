// What mirevo-idle costs while it waits, on X11 and in a Wayland session (headless sway, KDE's idle protocol),
// and how soon the session starts once the X server's timer fires.
//   idle_bench [--seconds N]   (each waiting window; 60 s unless told)
// A stand-in beside a copy of mirevo-idle takes Mirevo.scr's place and notes when it started.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <unistd.h>

#include "tests/harness/child_process.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/headless_sway.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/scrnsaver.h>

using namespace mirevo::test;
using namespace std::chrono_literals;

namespace {

// A field of /proc/PID/status ("VmRSS", "voluntary_ctxt_switches"), as its number.
long statusField(pid_t pid, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
    return -1;
}

// User plus system CPU time in clock ticks.
long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::atol(field.c_str());
        if (i == 15) stime = std::atol(field.c_str());
    }
    return utime + stime;
}

struct Waiting {
    double cpu = 0;
    long wakeups = 0;
    double rssMb = 0, peakMb = 0;
};

// The program's cost over a window in which nothing happens, past its start-up.
Waiting measureWaiting(pid_t pid, int seconds) {
    std::this_thread::sleep_for(1s);
    const long ticks = cpuTicks(pid), wakeups = statusField(pid, "voluntary_ctxt_switches");
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    Waiting w;
    w.cpu = 100.0 * double(cpuTicks(pid) - ticks) / double(sysconf(_SC_CLK_TCK)) / seconds;
    w.wakeups = statusField(pid, "voluntary_ctxt_switches") - wakeups;
    w.rssMb = statusField(pid, "VmRSS") / 1024.0;
    w.peakMb = statusField(pid, "VmHWM") / 1024.0;
    return w;
}

void printWaiting(const char* where, const Waiting& w) {
    std::printf("%-44s %-8.3f %-10ld %-8.1f %-8.1f\n", where, w.cpu, w.wakeups, w.rssMb, w.peakMb);
}

void setIdleSeconds(const std::string& display, int seconds) {
    ChildProcess({"/usr/bin/xset", "-display", display, "s", std::to_string(seconds)}).waitExit(10s);
}

// Waits for the server's next "saver on" notice; its server time (ms), or nothing at the deadline.
std::optional<unsigned long> nextActivation(Display* display, int eventBase,
                                            std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            const auto& notice = reinterpret_cast<const XScreenSaverNotifyEvent&>(event);
            if (event.type == eventBase + ScreenSaverNotify && notice.state == ScreenSaverOn)
                return notice.time;
        }
        pollfd p{ConnectionNumber(display), POLLIN, 0};
        poll(&p, 1, 50);
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    if (argc == 3 && std::string(argv[1]) == "--seconds") seconds = std::max(1, std::atoi(argv[2]));

    Xvfb server(1024, 768);
    DBusSession bus;
    TempDir folder;
    if (!server.ok() || !bus.ok() || folder.path().empty())
        return std::fprintf(stderr, "no Xvfb or bus\n"), 1;
    namespace fs = std::filesystem;
    fs::copy_file(builtProgram("mirevo-idle"), folder / "mirevo-idle");
    fs::copy_file(MIREVO_STAND_IN, folder / "Mirevo.scr");
    const std::string log = folder / "starts.log";
    const std::map<std::string, std::optional<std::string>> env{{"DISPLAY", server.display()},
                                                                {"DBUS_SESSION_BUS_ADDRESS", bus.address()},
                                                                {"HOME", folder.path()},
                                                                {"XDG_CONFIG_HOME", folder / "config"},
                                                                {"XDG_CACHE_HOME", folder / "cache"},
                                                                {"XDG_RUNTIME_DIR", folder.path()},
                                                                {"MIREVO_STAND_IN_LOG", log}};

    // Waiting: an idle time far beyond the window, so the timer never fires.
    setIdleSeconds(server.display(), 3600);
    ChildProcess idle({folder / "mirevo-idle"}, env);
    if (!pollUntil(20s, [&] { return idle.output().find("without input") != std::string::npos; }))
        return std::fprintf(stderr, "mirevo-idle did not start: %s\n", idle.errors().c_str()), 1;
    const Waiting onX11 = measureWaiting(idle.pid(), seconds);

    // The same in a Wayland session: the compositor's idle timer set far beyond the window.
    std::optional<Waiting> onWayland;
    std::string waylandWhy = HeadlessSway::unavailableReason();
    if (waylandWhy.empty()) {
        HeadlessSway sway;
        TempDir runtime;
        auto waylandEnv = env;
        for (auto& [name, value] : sway.clientEnvironment(runtime.path()))
            waylandEnv[name] = value;
        ChildProcess waiting({folder / "mirevo-idle", "--timeout", "60"}, waylandEnv);
        if (sway.ok() && pollUntil(20s, [&] { return waiting.output().find("without input") != std::string::npos; }))
            onWayland = measureWaiting(waiting.pid(), seconds);
        else
            waylandWhy = "mirevo-idle did not start on sway: " + waiting.errors();
    }

    std::printf("mirevo-idle while waiting (%d s each, private session bus)\n", seconds);
    std::printf("%-44s %-8s %-10s %-8s %-8s\n", "session", "CPU %", "wake-ups", "RSS MB", "peak MB");
    printWaiting("X11 (Xvfb 1024x768)", onX11);
    if (onWayland)
        printWaiting("Wayland (headless sway, org_kde_kwin_idle)", *onWayland);
    else
        std::printf("Wayland: not measured (%s)\n", waylandWhy.c_str());
    std::printf("\n");

    // Activation: the server's time of its "saver on" notice (CLOCK_MONOTONIC milliseconds on Xvfb) against
    // the stand-in's own start time.
    XClient client(server.display());
    int eventBase = 0, errorBase = 0;
    XScreenSaverQueryExtension(client.display(), &eventBase, &errorBase);
    XScreenSaverSelectInput(client.display(), client.root(), ScreenSaverNotifyMask);
    setIdleSeconds(server.display(), 1);
    std::vector<double> delays;
    for (int run = 0; run < 10; ++run) {
        std::string text = readFile(log);
        const size_t before = std::count(text.begin(), text.end(), '\n');
        XTestFakeRelativeMotionEvent(client.display(), 1, 1, CurrentTime);
        client.sync();
        const auto on = nextActivation(client.display(), eventBase, 10s);
        if (!on || !pollUntil(5s, [&] {
                text = readFile(log);
                return size_t(std::count(text.begin(), text.end(), '\n')) > before;
            }))
            return std::fprintf(stderr, "no session started\n"), 1;
        std::istringstream lines(text);
        long long ns = 0;
        for (size_t i = 0; i <= before; ++i)
            lines >> ns, lines.ignore(1 << 20, '\n');
        const uint32_t startedMs = uint32_t(ns / 1000000);
        delays.push_back(double(int32_t(startedMs - uint32_t(*on))));
    }
    std::sort(delays.begin(), delays.end());
    std::printf(
        "Server activation to the session's start (10 runs, ms; the server's clock ticks in 1-4 ms)\n");
    std::printf("%-10s %-10s %-10s\n", "min", "median", "max");
    std::printf("%-10.0f %-10.0f %-10.0f\n", delays.front(), delays[delays.size() / 2], delays.back());
    return 0;
}
