#pragma once
// When to try taking the keyboard again after a grab failed (another program holding it, a window manager
// still mapping the window): a few more times, further apart each time, then never. Failing is never fatal;
// the viewer then hears only the keys its focus brings it.
namespace mirevo::viewer {

class GrabRetry {
public:
    static constexpr int kAttempts = 6;               // the first included
    static constexpr double kFirstDelaySeconds = 0.1; // doubles after each failure: 3.1 s in all

    // Whether an attempt is due at time now (seconds on any steady clock).
    bool due(double now) const { return !done_ && now >= nextAt_; }
    void failed(double now) {
        if (++attempts_ >= kAttempts) {
            done_ = true;
            return;
        }
        nextAt_ = now + delay_;
        delay_ *= 2;
    }
    void succeeded() { done_ = true; }
    bool done() const { return done_; }
    int attempts() const { return attempts_; }

private:
    int attempts_ = 0;
    double nextAt_ = 0;
    double delay_ = kFirstDelaySeconds;
    bool done_ = false;
};

} // namespace mirevo::viewer
