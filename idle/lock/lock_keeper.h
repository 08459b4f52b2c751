#pragma once
// Locking's decisions, free of D-Bus and processes. With locking on (--lock-after SECONDS), a saver run whose
// floor has been shown for the grace time ends in the desktop's lock screen: on the user's key the floor
// stays until the locker says it covers the screen (at most kLockBound), then ends; a run that ends by
// anything but the key (a crash, a kill, its compositor lost) is followed by the lock at once. The system's
// requests (logind's Lock, org.freedesktop.ScreenSaver.Lock, the coming sleep) lock the same way, floor or no
// floor. Requests that meet while a lock is on its way are that one lock. While locking is on, a delay
// inhibitor holds sleep back until the lock is on screen; it is taken again when the system wakes.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/floor_channel.h"
#include "idle/lock/covered.h"

namespace mirevo {

// The longest a floor waits for the locker, so that a locker which fails or hangs never traps the user.
inline constexpr std::chrono::seconds kLockBound{5};

enum class LockReason { Key, SaverEnded, Sleep, SessionLock, Asked };

// What the keeper asks of the world; each answer comes back through the keeper's own calls.
class LockEffects {
public:
    virtual ~LockEffects() = default;
    // A word to the floor of a run.
    virtual void tellFloor(uint64_t run, FloorMessage message) = 0;
    // Asks the desktop's locker to lock, for reason; lockerDone follows.
    virtual void runLocker(LockReason reason) = 0;
    // Gives up on the locker asked last (it did not answer within the bound).
    virtual void stopLocker() = 0;
    // Starts (or stops) the bound's timer; boundPassed follows when it runs out.
    virtual void armBound(bool on) = 0;
    // Takes (true) or gives back (false) the inhibitor that delays sleep.
    virtual void holdSleep(bool hold) = 0;
    // The lock is on screen: the lock screen is the desktop's screen saver until the user is back.
    virtual void screenLocked() = 0;
    virtual void line(const std::string& text) = 0;
};

// How a lock asked for from outside was taken.
enum class LockAnswer { Off, Started, Joined };

// The last lock, for the status.
struct LockOutcome {
    LockReason reason = LockReason::Asked;
    bool covered = false;
    std::string why; // when not covered
    std::chrono::steady_clock::time_point when{};
};

class LockKeeper {
public:
    using Clock = std::chrono::steady_clock;

    // grace: nothing when locking is off.
    LockKeeper(std::optional<std::chrono::seconds> grace, LockEffects& effects,
               std::function<Clock::time_point()> now);

    bool on() const { return grace_.has_value(); }
    std::optional<std::chrono::seconds> grace() const { return grace_; }
    // Takes the sleep inhibitor when locking is on.
    void start();

    // A saver run, from its start to its end; run is the starter's number for it.
    void runStarted(uint64_t run);
    void floorShown(uint64_t run);
    void endingKey(uint64_t run);
    void runEnded(uint64_t run);

    // The system's requests.
    LockAnswer lockRequested(LockReason reason);
    // PrepareForSleep: true before the system sleeps, false when it has woken.
    void prepareForSleep(bool sleeping);
    // The sleep inhibitor could not be had (no logind): sleep is not waited for.
    void sleepInhibitorLost() { sleepHeld_ = false; }

    // The locker's answer: covered the screen, or why not.
    void lockerDone(const Covered& covered);
    void boundPassed();

    bool locking() const { return locking_; }
    const std::optional<LockOutcome>& lastOutcome() const { return last_; }

private:
    struct Run {
        std::optional<Clock::time_point> shown;
        bool keyed = false; // the user's key came
        bool held = false;  // its floor waits for the lock in progress
    };
    bool pastGrace(const Run& run) const;
    void beginLock(LockReason reason);
    void finish(const Covered& covered);

    std::optional<std::chrono::seconds> grace_;
    LockEffects& effects_;
    std::function<Clock::time_point()> now_;
    std::map<uint64_t, Run> runs_;
    bool locking_ = false;
    LockReason reason_ = LockReason::Asked;
    bool sleeping_ = false, sleepHeld_ = false;
    std::optional<LockOutcome> last_;
};

const char* lockReasonText(LockReason reason);

} // namespace mirevo
