#pragma once
// What a running process has used so far, read from /proc: CPU time (user + system) and memory, for the
// benchmarks' tables.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/types.h>
#include <unistd.h>

namespace mirevo::test {

struct ProcessUse {
    double cpuSeconds = 0;
    long rssKiB = 0, pssKiB = 0;
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
        if (line.rfind("VmRSS:", 0) == 0) use.rssKiB = std::atol(line.c_str() + 6);
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(rollup, line);)
        if (line.rfind("Pss:", 0) == 0) use.pssKiB = std::atol(line.c_str() + 4);
    return use;
}

} // namespace mirevo::test
