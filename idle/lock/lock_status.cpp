#include "idle/lock/lock_status.h"

#include "idle/daemon/idle_status.h"

namespace mirevo {

namespace {

std::string afterWhat(std::chrono::seconds grace) {
    return grace.count() == 0 ? std::string("after every run of the floor")
                              : "after " + spanText(uint32_t(grace.count())) + " of the floor";
}

} // namespace

std::string lockingLine(std::chrono::seconds grace, const LockerChoice& locker) {
    if (locker.kind == LockerKind::None)
        return "locking is on (" + afterWhat(grace) + "), but " + locker.description;
    return "locks the screen " + afterWhat(grace) + ", by " + locker.description;
}

std::string lockStatusText(const LockStatusFacts& facts) {
    if (!facts.grace) return "locking: off (mirevo-idle --lock-after SECONDS turns it on)\n";
    const std::string when = "on, " + afterWhat(*facts.grace);
    std::string text = facts.locker.kind == LockerKind::None
                           ? "locking: " + when + ", but unable: " + facts.locker.description + "\n"
                           : "locking: " + when + ", by " + facts.locker.description + "\n";
    text += facts.sleepProblem.empty() ? "before sleep: the screen is locked, and sleep waits for the lock\n"
                                       : "before sleep: not locked: " + facts.sleepProblem + "\n";
    if (facts.last) {
        const auto ago =
            std::chrono::duration_cast<std::chrono::seconds>(facts.now - facts.last->when).count();
        text += "last lock: " + spanText(uint32_t(std::max<long long>(0, ago))) + " ago, for " +
                lockReasonText(facts.last->reason) +
                (facts.last->covered ? std::string(": on screen") : ": failed: " + facts.last->why) + "\n";
    }
    return text;
}

} // namespace mirevo
