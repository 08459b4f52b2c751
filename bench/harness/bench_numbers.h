#pragma once
// The little arithmetic the benchmarks' tables share: milliseconds of a steady-clock span, the median.
#include <algorithm>
#include <chrono>
#include <vector>

namespace mirevo::test {

inline double ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The middle value (the upper one of an even count); 0 for none.
inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace mirevo::test
