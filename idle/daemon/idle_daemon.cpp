#include "idle/daemon/idle_daemon.h"

namespace mirevo {

IdleDaemon::IdleDaemon(IdleSource& source, SessionStarter& starter, std::function<Clock::time_point()> now)
    : source_(source), starter_(starter), now_(std::move(now)) {}

// Runs a change of state, then tells the source when the inhibits came or went and the listener when the
// screen saver's activity changed.
template <typename Change> void IdleDaemon::changing(Change change) {
    const bool wasInhibited = inhibited(), wasActive = active();
    change();
    if (inhibited() != wasInhibited) source_.suspend(inhibited());
    if (active() != wasActive) {
        if (active()) activeSince_ = now_();
        if (activeChanged_) activeChanged_(active());
    }
}

void IdleDaemon::serverSaverOn() {
    changing([&] {
        serverOn_ = true;
        // A notice the server sent just before an inhibit reached it.
        if (!inhibited() && !lockedUntilInput_ && starter_.startSession()) ++sessions_;
    });
}

void IdleDaemon::serverSaverOff() {
    changing([&] {
        serverOn_ = false;
        lockedUntilInput_ = false;
    });
}

void IdleDaemon::sessionEnded() {
    changing([&] {
        if (sessions_ > 0) --sessions_;
    });
}

InhibitResult IdleDaemon::inhibit(const std::string& owner, const std::string& application,
                                  const std::string& reason) {
    InhibitResult outcome = Failure(InhibitRefusal::TooMany);
    Inhibit held{owner, callerText(application), callerText(reason), now_()};
    const std::string line = inhibitTakenLine(held.application, held.reason);
    changing([&] { outcome = book_.add(std::move(held)); });
    if (outcome && log_) log_(line);
    return outcome;
}

ReleaseOutcome IdleDaemon::uninhibit(const std::string& owner, uint32_t cookie) {
    ReleaseOutcome outcome{};
    Inhibit released;
    changing([&] { outcome = book_.release(owner, cookie, &released); });
    if (outcome == ReleaseOutcome::Released && log_)
        log_(inhibitReleasedLine(released.application, released.reason));
    return outcome;
}

void IdleDaemon::ownerLeft(const std::string& owner) {
    std::vector<Inhibit> dropped;
    changing([&] { dropped = book_.dropOwner(owner); });
    if (log_)
        for (const Inhibit& inhibit : dropped)
            log_(inhibitOwnerLeftLine(inhibit.application, inhibit.reason));
}

size_t IdleDaemon::busLost() {
    size_t dropped = 0;
    changing([&] { dropped = book_.dropAll().size(); });
    return dropped;
}

std::vector<HeldInhibit> IdleDaemon::heldInhibits() const {
    std::vector<HeldInhibit> held;
    const auto now = now_();
    for (const Inhibit& inhibit : book_.list())
        held.push_back(
            {inhibit.application, inhibit.reason,
             uint32_t(std::chrono::duration_cast<std::chrono::seconds>(now - inhibit.since).count())});
    return held;
}

uint32_t IdleDaemon::activeSeconds() const {
    if (!active()) return 0;
    return uint32_t(std::chrono::duration_cast<std::chrono::seconds>(now_() - activeSince_).count());
}

} // namespace mirevo
