#pragma once
// The daemon's decisions, free of X and D-Bus: start the session when the server's timer fires unless
// something holds the saver off, keep the server's timer suspended while any inhibit is held, and track
// whether the screen saver is active (the server's saver on, or a session we started still running).
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "idle/idle_source.h"
#include "idle/inhibit_book.h"

namespace mirevo {

class IdleDaemon {
public:
    using Clock = std::chrono::steady_clock;

    IdleDaemon(IdleSource& source, SessionStarter& starter, std::function<Clock::time_point()> now);

    // Called with the new value whenever active() changes.
    void onActiveChanged(std::function<void(bool)> listener) { activeChanged_ = std::move(listener); }

    // From the idle source.
    void serverSaverOn();
    void serverSaverOff();
    // From the session starter, once for every session it started.
    void sessionEnded();

    // From the bus; owner is the caller's unique bus name.
    InhibitOutcome inhibit(const std::string& owner, uint32_t& cookie);
    ReleaseOutcome uninhibit(const std::string& owner, uint32_t cookie);
    void ownerLeft(const std::string& owner);
    void simulateUserActivity() { source_.resetIdleTimer(); }

    bool inhibited() const { return book_.held(); }
    bool holds(const std::string& owner) const { return book_.holds(owner); }
    bool active() const { return serverOn_ || sessions_ > 0; }
    // Whole seconds since the screen saver became active; 0 when it is not.
    uint32_t activeSeconds() const;

private:
    template <typename Change> void changing(Change change);

    IdleSource& source_;
    SessionStarter& starter_;
    std::function<Clock::time_point()> now_;
    std::function<void(bool)> activeChanged_;
    InhibitBook book_;
    bool serverOn_ = false;
    int sessions_ = 0;
    Clock::time_point activeSince_{};
};

} // namespace mirevo
