#pragma once
// Frame times for a hack, which its manager may stop (SIGSTOP while the unlock dialog is up) and continue
// much later. A gap between two frames longer than a frame can take is time the hack did not run: it is left
// out, and that frame moves as far as the one before it, so the motion goes on from where it stopped instead
// of jumping ahead to catch up.
#include <cstdint>

#include "viewer/scene/frame_clock.h"

namespace mirevo::viewer {

class ResumingClock {
public:
    static constexpr double kLongestFrameSeconds = 0.25;

    ResumingClock(uint64_t ticksPerSecond, uint64_t startTicks)
        : ticksPerSecond_(ticksPerSecond ? ticksPerSecond : 1), previous_(startTicks) {}

    FrameTimes tick(uint64_t nowTicks) {
        double frame = seconds(nowTicks - previous_);
        previous_ = nowTicks;
        if (frame > kLongestFrameSeconds) frame = lastFrame_;
        lastFrame_ = frame;
        elapsed_ += frame;
        return {elapsed_, frame};
    }

private:
    double seconds(uint64_t ticks) const {
        return static_cast<double>(static_cast<long double>(ticks) / static_cast<long double>(ticksPerSecond_));
    }

    uint64_t ticksPerSecond_;
    uint64_t previous_;
    double elapsed_ = 0;
    double lastFrame_ = 0;
};

} // namespace mirevo::viewer
