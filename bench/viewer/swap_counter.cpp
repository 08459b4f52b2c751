// Preloaded into a program under measurement (LD_PRELOAD), counts its buffer swaps: the file that
// MIREVO_SWAP_COUNT names holds the count and the monotonic times of the first and the latest swap, so the
// frames of a program we only run are counted the same way as our own.
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

using GlxSwapBuffers = void (*)(void*, unsigned long);
using EglSwapBuffers = unsigned (*)(void*, void*);

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

unsigned long swaps = 0;
double firstSwap = 0;
int countFile = -2; // -2 until opened, -1 when there is none

void countSwap() {
    const double now = monotonicSeconds();
    if (++swaps == 1) firstSwap = now;
    if (countFile == -2) {
        const char* path = std::getenv("MIREVO_SWAP_COUNT");
        countFile = path ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600) : -1;
    }
    if (countFile < 0) return;
    char line[96];
    const int length = std::snprintf(line, sizeof line, "%-20lu %-20.6f %-20.6f\n", swaps, firstSwap, now);
    if (length > 0 && pwrite(countFile, line, static_cast<size_t>(length), 0) < 0) countFile = -1;
}

} // namespace

// The GLX and EGL calls (programs use either), with their types as plain values so that no GL header is
// needed.
extern "C" void glXSwapBuffers(void* display, unsigned long drawable) {
    static const auto next = reinterpret_cast<GlxSwapBuffers>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    if (next) next(display, drawable);
    countSwap();
}

extern "C" unsigned eglSwapBuffers(void* display, void* surface) {
    static const auto next = reinterpret_cast<EglSwapBuffers>(dlsym(RTLD_NEXT, "eglSwapBuffers"));
    const unsigned done = next ? next(display, surface) : 0;
    countSwap();
    return done;
}
