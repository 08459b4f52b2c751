// Stands in for Mirevo.dll in the saver benchmark: notes when it started, then shows a window titled
// "Tovik_VC" that draws nothing, so the saver's own cost while it waits can be measured alone.
//   MIREVO_BENCH_STAMP  file that receives the start time (CLOCK_MONOTONIC, nanoseconds)
//   MIREVO_BENCH_HOLD   seconds to keep the window (0 or unset: exit at once)
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include <X11/Xlib.h>
#include <unistd.h>

int main() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (const char* stamp = std::getenv("MIREVO_BENCH_STAMP"))
        std::ofstream(stamp) << (long long)now.tv_sec * 1000000000LL + now.tv_nsec << "\n";

    const char* hold = std::getenv("MIREVO_BENCH_HOLD");
    const int seconds = hold ? std::atoi(hold) : 0;
    if (seconds <= 0) return 0;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 64, 64, 0, 0, 0);
    XStoreName(display, window, "Tovik_VC");
    XMapWindow(display, window);
    XSync(display, False);
    sleep(unsigned(seconds));
    XCloseDisplay(display);
    return 0;
}
