#include "common/posix/large_pages.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gnu/libc-version.h>
#include <unistd.h>

namespace mirevo {

namespace {

constexpr std::string_view kTunable = "glibc.malloc.hugetlb";

// "2.36" and the like, at least major.minor.
bool atLeast(std::string_view version, int wantMajor, int wantMinor) {
    int major = 0, minor = 0;
    size_t at = 0;
    const auto number = [&](int& into) {
        const size_t start = at;
        while (at < version.size() && version[at] >= '0' && version[at] <= '9' && at - start < 6)
            into = into * 10 + (version[at++] - '0');
        return at > start;
    };
    if (!number(major) || at >= version.size() || version[at++] != '.' || !number(minor)) return false;
    return major > wantMajor || (major == wantMajor && minor >= wantMinor);
}

} // namespace

std::optional<std::string> tunablesForLargePages(std::string_view kernelMode, std::string_view libraryVersion,
                                                 const char* currentTunables) {
    if (kernelMode.find("[madvise]") == std::string_view::npos) return std::nullopt;
    if (!atLeast(libraryVersion, 2, 35)) return std::nullopt;
    const std::string_view current = currentTunables ? currentTunables : "";
    if (current.find(kTunable) != std::string_view::npos) return std::nullopt;
    std::string tunables(current);
    if (!tunables.empty()) tunables += ':';
    tunables += kTunable;
    tunables += "=1";
    return tunables;
}

void restartWithLargePagesIfUseful(char** argv) {
    std::ifstream file("/sys/kernel/mm/transparent_hugepage/enabled");
    std::stringstream mode;
    mode << file.rdbuf();
    const char* current = std::getenv("GLIBC_TUNABLES");
    const std::optional<std::string> before = current ? std::optional<std::string>(current) : std::nullopt;
    const auto tunables = tunablesForLargePages(mode.str(), gnu_get_libc_version(), current);
    if (!tunables || setenv("GLIBC_TUNABLES", tunables->c_str(), 1) != 0) return;
    execv("/proc/self/exe", argv);
    // Not restarted: the program runs on as it is, with the environment it was given.
    if (before)
        setenv("GLIBC_TUNABLES", before->c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
}

} // namespace mirevo
