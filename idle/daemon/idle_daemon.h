#pragma once
// The daemon's decisions, free of X and D-Bus: start the session when the server's timer fires unless
// something holds the saver off, keep the server's timer suspended while any inhibit is held, and track
// whether the screen saver is active (the server's saver on, or a session we started still running).
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "idle/daemon/idle_source.h"
#include "idle/daemon/idle_status.h"
#include "idle/daemon/inhibit_book.h"

namespace mirevo {

class IdleDaemon {
public:
    using Clock = std::chrono::steady_clock;

    IdleDaemon(IdleSource& source, SessionStarter& starter, std::function<Clock::time_point()> now);

    // Called with the new value whenever active() changes.
    void onActiveChanged(std::function<void(bool)> listener) { activeChanged_ = std::move(listener); }
    // Given a line for each inhibit taken and given up.
    void onLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }
    // What the bus may ask of locking (org.freedesktop.ScreenSaver.Lock, the status's lines): the lock keeper
    // answers. Without it locking is off.
    struct Locking {
        std::function<bool()> lock; // false: locking is off
        std::function<std::string()> status;
    };
    void onLocking(Locking locking) { locking_ = std::move(locking); }

    // From the idle source.
    void serverSaverOn();
    void serverSaverOff();
    // From the session starter, once for every session it started.
    void sessionEnded();
    // The screen has been locked: no session starts until the user's next input (the lock screen is the
    // desktop's screen saver meanwhile).
    void screenLocked() { lockedUntilInput_ = true; }

    // From the bus; owner is the caller's unique bus name, application and reason what it says of itself.
    InhibitResult inhibit(const std::string& owner, const std::string& application, const std::string& reason);
    ReleaseOutcome uninhibit(const std::string& owner, uint32_t cookie);
    void ownerLeft(const std::string& owner);
    // The bus has gone, and with it every caller's way to release its inhibits: drops them all; how many.
    size_t busLost();
    void simulateUserActivity() { source_.resetIdleTimer(); }
    // Locks the screen as the desktop does; false when locking is off.
    bool lock() { return locking_.lock && locking_.lock(); }
    // The status's lines about locking, each ending with a line break.
    std::string lockingStatus() const {
        return locking_.status ? locking_.status() : "locking: off (mirevo-idle --lock-after SECONDS turns it on)\n";
    }

    // Where idleness comes from, as the status names it.
    void setSourceName(std::string name) { sourceName_ = std::move(name); }
    const std::string& sourceName() const { return sourceName_; }

    bool inhibited() const { return book_.held(); }
    bool holds(const std::string& owner) const { return book_.holds(owner); }
    bool active() const { return serverOn_ || sessions_ > 0; }
    // Whole seconds since the screen saver became active; 0 when it is not.
    uint32_t activeSeconds() const;
    // The inhibits held, the oldest first.
    std::vector<HeldInhibit> heldInhibits() const;

private:
    template <typename Change> void changing(Change change);

    IdleSource& source_;
    SessionStarter& starter_;
    std::function<Clock::time_point()> now_;
    std::function<void(bool)> activeChanged_;
    std::function<void(const std::string&)> log_;
    Locking locking_;
    InhibitBook book_;
    std::string sourceName_;
    bool serverOn_ = false, lockedUntilInput_ = false;
    int sessions_ = 0;
    Clock::time_point activeSince_{};
};

} // namespace mirevo
