#pragma once
// Reading the viewer's trace lines (MIREVO_VIEWER_TRACE=1) from its standard error.
#include <cstdlib>
#include <sstream>
#include <string>

namespace mirevo::bench {

struct TraceLine {
    bool found = false;
    double seconds = 0, cpu = 0;
    std::string detail;
};

// The first line of this event.
inline TraceLine traceLine(const std::string& errors, const std::string& event) {
    TraceLine line;
    std::string key = "mirevo-trace " + event + " ";
    auto at = errors.find(key);
    if (at == std::string::npos) return line;
    std::istringstream in(errors.substr(at + key.size(), errors.find('\n', at) - at - key.size()));
    std::string cpu;
    in >> line.seconds >> cpu;
    line.cpu = std::atof(cpu.c_str() + 4);
    std::getline(in, line.detail);
    line.found = true;
    return line;
}

} // namespace mirevo::bench
