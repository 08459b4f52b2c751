#pragma once
// What a running process has used so far, read from /proc: CPU time (user + system) and memory, for the
// benchmarks' tables.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

namespace mirevo::test {

struct ProcessUse {
    double cpuSeconds = 0;
    long rssKiB = 0, pssKiB = 0;
    long peakKiB = 0; // the most resident memory so far (VmHWM)
};

inline ProcessUse processUse(pid_t pid) {
    ProcessUse use;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    if (text.rfind(')') == std::string::npos) return use;
    // Fields after the command name (which may hold blanks) start after the last ')'.
    std::vector<std::string> fields;
    std::string field;
    for (char c : text.substr(text.rfind(')') + 2)) {
        if (c == ' ')
            fields.push_back(field), field.clear();
        else
            field += c;
    }
    if (fields.size() > 13)
        use.cpuSeconds =
            double(std::stoll(fields[11]) + std::stoll(fields[12])) / double(sysconf(_SC_CLK_TCK));
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            use.rssKiB = std::atol(line.c_str() + 6);
        else if (line.rfind("VmHWM:", 0) == 0)
            use.peakKiB = std::atol(line.c_str() + 6);
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(rollup, line);)
        if (line.rfind("Pss:", 0) == 0) use.pssKiB = std::atol(line.c_str() + 4);
    return use;
}

// The heading of the waiting-cost table, and its one row: what the process uses while it only waits, over
// seconds, once a second has let its start-up settle.
inline void printWaitingCostHeading() {
    std::printf("%12s %12s %12s\n", "CPU %", "RSS MiB", "PSS MiB");
}
inline void printWaitingCost(pid_t pid, int seconds) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const ProcessUse before = processUse(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const ProcessUse after = processUse(pid);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%12.3f %12.1f %12.1f\n\n", 100.0 * (after.cpuSeconds - before.cpuSeconds) / wall,
                after.rssKiB / 1024.0, after.pssKiB / 1024.0);
}

} // namespace mirevo::test
