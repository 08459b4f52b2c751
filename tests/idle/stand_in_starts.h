#pragma once
// When the stand-in saver started: it notes steady_clock's time first on its line of the log, one line a start.
#include <chrono>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"

namespace mirevo::test {

// The start after the seen ones, if one comes before the deadline; seen counts it.
inline std::optional<std::chrono::steady_clock::time_point> nextStandInStart(const std::string& log, size_t& seen,
                                                                             std::chrono::milliseconds deadline) {
    std::vector<long long> starts;
    if (!pollUntil(deadline, [&] {
            std::istringstream lines(readFile(log));
            starts.clear();
            for (long long ns = 0; lines >> ns; lines.ignore(1 << 20, '\n'))
                starts.push_back(ns);
            return starts.size() > seen;
        }))
        return std::nullopt;
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(starts[seen++]));
}

} // namespace mirevo::test
