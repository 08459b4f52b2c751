#include "viewer/scene/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <sys/resource.h>

namespace mirevo::viewer {

Trace::Trace() {
    const char* value = std::getenv("MIREVO_VIEWER_TRACE");
    on_ = value && std::strcmp(value, "1") == 0;
}

double Trace::monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void Trace::mark(const char* event, const std::string& detail) const {
    if (!on_) return;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    std::fprintf(stderr, "mirevo-trace %s %.6f cpu=%.6f%s%s\n", event, monotonicSeconds(), cpu,
                 detail.empty() ? "" : " ", detail.c_str());
    std::fflush(stderr);
}

} // namespace mirevo::viewer
