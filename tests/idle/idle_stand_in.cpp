// Stands in for Mirevo.scr: appends its start time (CLOCK_MONOTONIC ns, steady_clock's clock) and its
// arguments to $MIREVO_STAND_IN_LOG.
#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    FILE* out = std::fopen(std::getenv("MIREVO_STAND_IN_LOG"), "a");
    std::fprintf(out, "%lld", (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
    for (int i = 1; i < argc; ++i)
        std::fprintf(out, " %s", argv[i]);
    return std::fprintf(out, "\n") < 0 || std::fclose(out) != 0;
}
