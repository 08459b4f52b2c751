#include "idle/sources/idle_watch.h"

namespace mirevo {

void IdleWatch::start(IdleSourceEvents events) {
    events_ = std::move(events);
    started_ = true;
    if (lostBeforeStart_) {
        if (events_.lost) events_.lost(*lostBeforeStart_);
        lostBeforeStart_.reset();
        return;
    }
    arm();
}

void IdleWatch::arm() {
    if (!started_ || suspended_ || timeoutSeconds_ <= 0 || armed_ || lost_) return;
    armed_ = true;
    hooks_.arm();
}

void IdleWatch::disarm() {
    if (!armed_) return;
    armed_ = false;
    if (!lost_) hooks_.disarm();
}

void IdleWatch::suspend(bool suspended) {
    suspended_ = suspended;
    if (!suspended) return arm();
    disarm();
    resumed();
}

void IdleWatch::setTimeoutSeconds(int seconds) {
    timeoutSeconds_ = seconds;
    restart();
}

void IdleWatch::restart() {
    disarm();
    resumed();
    arm();
}

void IdleWatch::idled() {
    if (idle_ || lost_ || !armed_) return;
    idle_ = true;
    if (events_.saverOn) events_.saverOn();
}

void IdleWatch::resumed() {
    if (!idle_) return;
    idle_ = false;
    if (events_.saverOff) events_.saverOff();
}

void IdleWatch::lose(const std::string& line) {
    if (lost_) return;
    lost_ = true;
    armed_ = false;
    if (!started_) {
        lostBeforeStart_ = line;
        return;
    }
    if (events_.lost) events_.lost(line);
}

} // namespace mirevo
