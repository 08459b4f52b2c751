#include "idle/lock/lock_keeper.h"

namespace mirevo {

LockKeeper::LockKeeper(std::optional<std::chrono::seconds> grace, LockEffects& effects,
                       std::function<Clock::time_point()> now)
    : grace_(grace), effects_(effects), now_(std::move(now)) {}

const char* lockReasonText(LockReason reason) {
    switch (reason) {
    case LockReason::Key:
        return "the key that ended the screen saver";
    case LockReason::SaverEnded:
        return "the screen saver's end without the user's key";
    case LockReason::Sleep:
        return "the coming sleep";
    case LockReason::SessionLock:
        return "logind's request to lock the session";
    case LockReason::Asked:
        break;
    }
    return "a request to org.freedesktop.ScreenSaver.Lock";
}

void LockKeeper::start() {
    if (!on()) return;
    sleepHeld_ = true;
    effects_.holdSleep(true);
}

bool LockKeeper::pastGrace(const Run& run) const {
    return on() && run.shown && now_() - *run.shown >= *grace_;
}

void LockKeeper::runStarted(uint64_t run) {
    runs_[run] = Run{};
    // A run that starts while a lock is on its way ends with the others once the lock is on screen.
    if (locking_) {
        runs_[run].held = true;
        effects_.tellFloor(run, FloorMessage::Lock);
    }
}

void LockKeeper::floorShown(uint64_t run) {
    const auto found = runs_.find(run);
    if (found != runs_.end() && !found->second.shown) found->second.shown = now_();
}

void LockKeeper::endingKey(uint64_t run) {
    const auto found = runs_.find(run);
    if (found == runs_.end() || found->second.keyed) return;
    Run& r = found->second;
    r.keyed = true;
    if (r.held) return; // already waits for the lock in progress
    if (!pastGrace(r)) return effects_.tellFloor(run, FloorMessage::End);
    beginLock(LockReason::Key);
}

void LockKeeper::runEnded(uint64_t run) {
    const auto found = runs_.find(run);
    if (found == runs_.end()) return;
    const Run r = found->second;
    runs_.erase(found);
    // A floor never shown covered nothing; one that ended on the key, or for a lock, was seen to its end.
    if (r.keyed || r.held || !pastGrace(r)) return;
    const auto shownFor = std::chrono::duration_cast<std::chrono::seconds>(now_() - *r.shown).count();
    effects_.line("the screen saver ended without the user's key after " +
                  std::to_string(shownFor) + " s of the floor; locking the screen");
    beginLock(LockReason::SaverEnded);
}

LockAnswer LockKeeper::lockRequested(LockReason reason) {
    if (!on()) return LockAnswer::Off;
    if (locking_) return LockAnswer::Joined;
    beginLock(reason);
    return LockAnswer::Started;
}

void LockKeeper::beginLock(LockReason reason) {
    // Every floor up now stays until the lock is on screen, and lets the keyboard go to the locker.
    for (auto& [id, run] : runs_)
        if (!run.held) {
            run.held = true;
            effects_.tellFloor(id, FloorMessage::Lock);
        }
    if (locking_) return;
    locking_ = true;
    reason_ = reason;
    effects_.armBound(true);
    effects_.runLocker(reason);
}

void LockKeeper::lockerDone(const Covered& covered) {
    if (!locking_) return; // an answer after the bound
    effects_.armBound(false);
    finish(covered);
}

void LockKeeper::boundPassed() {
    if (!locking_) return;
    effects_.stopLocker();
    finish(Failure("the locker did not say within " + std::to_string(kLockBound.count()) +
                   " s that it covers the screen"));
}

void LockKeeper::finish(const Covered& covered) {
    locking_ = false;
    last_ = LockOutcome{reason_, covered.ok(), covered ? std::string() : covered.reason(), now_()};
    if (covered)
        effects_.screenLocked();
    else
        effects_.line("the screen is not locked (asked for by " + std::string(lockReasonText(reason_)) +
                      "): " + covered.reason());
    for (auto& [id, run] : runs_)
        if (run.held) effects_.tellFloor(id, FloorMessage::End);
    // The system may sleep now: the lock is on screen, or will not be.
    if (sleeping_ && sleepHeld_) {
        sleepHeld_ = false;
        effects_.holdSleep(false);
    }
}

void LockKeeper::prepareForSleep(bool sleeping) {
    if (!on() || sleeping == sleeping_) return; // the same news twice changes nothing
    sleeping_ = sleeping;
    if (!sleeping) {
        if (!sleepHeld_) {
            sleepHeld_ = true;
            effects_.holdSleep(true);
        }
        return;
    }
    if (!locking_) return beginLock(LockReason::Sleep);
    // A lock already on its way releases the inhibitor when it is done.
}

} // namespace mirevo
