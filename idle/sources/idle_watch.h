#pragma once
// What the compositor's sources (the Wayland idle protocols, GNOME's idle monitor) share: the compositor
// holds a timer for us (a notification, a watch) that says when the idle time has passed and when input came
// again. This keeps that timer in force exactly while it should be (started, not suspended, an idle time
// that is not 0, the compositor still there) and the user's state (idle or not), and tells the daemon each
// change once. Plain logic: the source does the compositor's part through the two hooks.
#include <functional>
#include <optional>
#include <string>

#include "idle/daemon/idle_source.h"

namespace mirevo {

class IdleWatch {
public:
    struct Hooks {
        std::function<void()> arm;    // ask the compositor for a timer of timeoutSeconds()
        std::function<void()> disarm; // give the timer back (and any watch for input that came with it)
    };

    IdleWatch(int timeoutSeconds, Hooks hooks) : timeoutSeconds_(timeoutSeconds), hooks_(std::move(hooks)) {}

    // IdleSource's part, for the source to forward.
    void start(IdleSourceEvents events);
    void suspend(bool suspended);
    void setTimeoutSeconds(int seconds);
    int timeoutSeconds() const { return timeoutSeconds_; }
    // A new timer that counts from now (a protocol that cannot be told of activity); the user is no longer
    // idle.
    void restart();
    // Before the source goes: no event is told after this.
    void stop() { events_ = {}; }

    // What the compositor said.
    void idled();
    void resumed();
    // The compositor has gone: one line, once, and the timer is never asked for again. Before start, the line
    // waits for it.
    void lose(const std::string& line);

    bool armed() const { return armed_; }
    bool idle() const { return idle_; }
    bool lost() const { return lost_; }

private:
    void arm();
    void disarm();

    int timeoutSeconds_;
    Hooks hooks_;
    IdleSourceEvents events_;
    std::optional<std::string> lostBeforeStart_;
    bool started_ = false, suspended_ = false, armed_ = false, idle_ = false, lost_ = false;
};

} // namespace mirevo
