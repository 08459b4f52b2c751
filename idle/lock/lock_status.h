#pragma once
// What mirevo-idle --status says of locking: whether it is on and with what, whether sleep waits for the
// lock, and how the last lock went. The running mirevo-idle writes these lines; --status prints them.
#include <chrono>
#include <optional>
#include <string>

#include "idle/lock/lock_keeper.h"
#include "idle/lock/locker_choice.h"

namespace mirevo {

struct LockStatusFacts {
    std::optional<std::chrono::seconds> grace; // nothing: locking is off
    LockerChoice locker;
    std::string sleepProblem; // why sleep does not wait for the lock; empty when it does
    std::optional<LockOutcome> last;
    std::chrono::steady_clock::time_point now{};
};

// Lines, each ending with a line break.
std::string lockStatusText(const LockStatusFacts& facts);

// The line mirevo-idle says at its start when locking is on: with what it locks, or why it cannot.
std::string lockingLine(std::chrono::seconds grace, const LockerChoice& locker);

} // namespace mirevo
