#pragma once
// Frame pacing for displays without vertical sync. Where the swap waits for the display, it sets the pace and
// nothing here intervenes. Where it returns at once (a virtual or remote display, software rendering), an
// unpaced loop would draw hundreds of frames a second on every core, so frames are held back to the display's
// refresh rate instead. Which of the two holds is measured, not assumed: the time from a frame's start to the
// return of its swap. When that is much shorter than the refresh period over the recent frames, nothing
// waited for the display, and frames are paced; pacing stops only when frames take nearly the whole period,
// so that a busy machine does not flip it back and forth.
#include <cstddef>
#include <vector>

namespace mirevo::viewer {

class FramePacer {
public:
    static constexpr double kDefaultRefreshHz = 60.0;
    static constexpr size_t kWarmUpFrames = 3;     // the first frames carry set-up and shader compilation
    static constexpr size_t kSampleFrames = 20;    // the decision is taken again after every this many frames
    static constexpr double kStartFraction = 0.75; // pace when the median frame is busy below this share
    static constexpr double kStopFraction = 0.95;  // stop when it is busy above this share

    // refreshHz <= 0 (unknown) means 60 Hz.
    explicit FramePacer(double refreshHz);
    // Frames held to at most framesPerSecond from the first on, whether or not the swap waits.
    static FramePacer ceiling(double framesPerSecond);
    // The pacer for a GL that draws on the processor or not. A software renderer's swap never waits for the
    // display, so its frames are held to the refresh rate from the first on: measured, a frame that takes
    // three quarters of the period or more (a busy machine) could not be told from a swap that waits, and would
    // run unpaced above the refresh rate, drawing frames nobody sees.
    static FramePacer forRenderer(double refreshHz, bool softwareRenderer);

    double period() const { return period_; }
    bool pacing() const { return pacing_; }
    bool decided() const { return decisions_ > 0; }

    // After each frame: when it started and when its swap returned, in seconds on the caller's clock.
    void frameDone(double frameStart, double swapReturned);
    // How long to wait from now until the next frame is due; 0 when it is due or when not pacing.
    double secondsUntilDue(double now) const;

private:
    double period_;
    bool pacing_ = false;
    bool fixed_ = false;
    size_t frames_ = 0;
    size_t decisions_ = 0;
    std::vector<double> busy_;
    double due_ = 0;
};

} // namespace mirevo::viewer
