#pragma once
// The floor's end when mirevo-idle may lock after it (its channel, common/floor_channel.h, is in the
// environment): the key is reported rather than obeyed, and the floor goes on until mirevo-idle says "end",
// the channel closes, or kOwnBound passes after the key or the news of a lock, so that the user is never held
// behind the floor. "lock" says that a locker is on its way: the keyboard is let go for it. Without the
// channel the key ends the floor at once.
#include <chrono>
#include <functional>
#include <optional>

#include "common/posix/floor_channel_end.h"

namespace mirevo::viewer {

class FloorHold {
public:
    using Clock = std::chrono::steady_clock;
    // Longer than mirevo-idle's own bound on a locker, so that its word normally comes first.
    static constexpr std::chrono::seconds kOwnBound{8};

    explicit FloorHold(
        std::optional<FloorChannelEnd> channel,
        std::function<Clock::time_point()> now = [] { return Clock::now(); })
        : channel_(std::move(channel)), now_(std::move(now)) {}
    static FloorHold fromEnvironment() { return FloorHold(FloorChannelEnd::fromEnvironment()); }

    // Once the floor is on every output.
    void floorShown();
    // Asked at every turn of the loop, with whether the user's key came: true when the floor is to end now.
    bool ends(bool keyPressed);
    // A locker is on its way: the keyboard is to be let go.
    bool lockComing() const { return lockComing_; }

private:
    std::optional<FloorChannelEnd> channel_;
    std::function<Clock::time_point()> now_;
    std::optional<Clock::time_point> waitingSince_;
    bool shownSent_ = false, keySent_ = false, lockComing_ = false, ended_ = false;
};

} // namespace mirevo::viewer
