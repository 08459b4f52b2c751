#pragma once
// Tests wait for a condition with a deadline, never with a fixed sleep.
#include <chrono>
#include <thread>

namespace mirevo::test {

template <typename Condition> bool pollUntil(std::chrono::milliseconds deadline, Condition condition) {
    auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace mirevo::test
