#include "viewer/scene/frame_pacer.h"

#include <algorithm>

namespace mirevo::viewer {

FramePacer::FramePacer(double refreshHz) : period_(1.0 / (refreshHz > 0 ? refreshHz : kDefaultRefreshHz)) {
    busy_.reserve(kSampleFrames);
}

FramePacer FramePacer::ceiling(double framesPerSecond) {
    FramePacer pacer(framesPerSecond);
    pacer.pacing_ = pacer.fixed_ = true;
    return pacer;
}

FramePacer FramePacer::forRenderer(double refreshHz, bool softwareRenderer) {
    if (!softwareRenderer) return FramePacer(refreshHz);
    return ceiling(refreshHz > 0 ? refreshHz : kDefaultRefreshHz);
}

void FramePacer::frameDone(double frameStart, double swapReturned) {
    if (fixed_) {
        if (frameStart - due_ > period_) due_ = frameStart;
        due_ += period_;
        return;
    }
    if (++frames_ > kWarmUpFrames) busy_.push_back(swapReturned - frameStart);
    if (busy_.size() == kSampleFrames) {
        // The median, so that a few frames delayed by the system do not decide it.
        std::nth_element(busy_.begin(), busy_.begin() + kSampleFrames / 2, busy_.end());
        bool wasPacing = pacing_;
        double median = busy_[kSampleFrames / 2];
        pacing_ = wasPacing ? median <= kStopFraction * period_ : median < kStartFraction * period_;
        ++decisions_;
        busy_.clear();
        if (pacing_ && !wasPacing) due_ = frameStart;
    }
    if (!pacing_) return;
    // Keep the cadence through small lateness (waits end on whole milliseconds); after a long stall start
    // afresh rather than rush to catch up.
    if (frameStart - due_ > period_) due_ = frameStart;
    due_ += period_;
}

double FramePacer::secondsUntilDue(double now) const {
    if (!pacing_) return 0;
    return std::max(0.0, due_ - now);
}

} // namespace mirevo::viewer
