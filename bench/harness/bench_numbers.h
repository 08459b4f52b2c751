#pragma once
// The little arithmetic the benchmarks' tables share: milliseconds of a steady-clock span, the median, and
// the ratio of two rows taken round by round.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
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

// Each round's ratio of a over b (rounds where b has nothing are left out), as "median (each )": two rows run
// in the same round share whatever load the machine had then.
struct RoundRatios {
    double median = 0;
    std::string each;
};

inline RoundRatios roundRatios(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> ratios;
    RoundRatios result;
    for (size_t r = 0; r < a.size() && r < b.size(); ++r) {
        if (b[r] <= 0) continue;
        ratios.push_back(a[r] / b[r]);
        char text[16];
        std::snprintf(text, sizeof text, " %.2f", ratios.back());
        result.each += text;
    }
    result.median = median(ratios);
    return result;
}

} // namespace mirevo::test
