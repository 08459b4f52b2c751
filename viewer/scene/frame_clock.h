#pragma once
// Frame times from a high-resolution counter. Both times are taken from the counter's integer ticks, so the
// time between frames is as fine after a week of running as in the first second.
#include <cstdint>

namespace mirevo::viewer {

struct FrameTimes {
    double elapsedSeconds = 0; // since the clock was started
    double frameSeconds = 0;   // since the previous frame (or since the start, for the first frame)
};

class FrameClock {
public:
    FrameClock(uint64_t ticksPerSecond, uint64_t startTicks)
        : ticksPerSecond_(ticksPerSecond ? ticksPerSecond : 1), start_(startTicks), previous_(startTicks) {}

    FrameTimes tick(uint64_t nowTicks) {
        FrameTimes times{seconds(nowTicks - start_), seconds(nowTicks - previous_)};
        previous_ = nowTicks;
        return times;
    }

private:
    double seconds(uint64_t ticks) const {
        return static_cast<double>(static_cast<long double>(ticks) /
                                   static_cast<long double>(ticksPerSecond_));
    }

    uint64_t ticksPerSecond_;
    uint64_t start_;
    uint64_t previous_;
};

} // namespace mirevo::viewer
