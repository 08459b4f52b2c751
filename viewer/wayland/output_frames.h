#pragma once
// When each output's next frame is drawn and when it is shown. The compositor answers a frame's callback
// once it has shown it; an output has at most two frames committed and not yet answered, the one shown
// next and the one after it, so that the compositor always has a frame to show (one that must first answer
// and then wait for the viewer's next frame shows a frame every other refresh at best when it draws slowly)
// and never more than it can show. The next frame is drawn at the frame pacer's pace and held until it may
// be committed: an output the compositor never answers for (hidden, on another workspace) costs a frame or
// two, then nothing, while the others go on.
#include <chrono>
#include <cstddef>
#include <vector>

namespace mirevo::viewer {

class OutputFrames {
public:
    static constexpr int kUnansweredFrames = 2;

    explicit OutputFrames(size_t outputs) : held_(outputs, false), unanswered_(outputs, 0) {}

    size_t count() const { return held_.size(); }
    // Output i may have its next frame drawn: none is held for it.
    bool drawable(size_t i) const { return !held_[i]; }
    // A frame was drawn for output i and is held until it may be committed.
    void drawn(size_t i) { held_[i] = true; }
    // Output i's held frame is to be committed now.
    bool showable(size_t i) const { return held_[i] && unanswered_[i] < kUnansweredFrames; }
    // A frame was committed to output i with a callback asked for it (its held one, or any other).
    void committed(size_t i) { held_[i] = false, ++unanswered_[i]; }
    // The compositor answered a frame callback of output i's.
    void callbackCame(size_t i) {
        if (unanswered_[i] > 0) --unanswered_[i];
    }

    bool anyDrawable() const;
    bool anyShowable() const;
    // Whether the next frame is drawn now: an output may have one and the pacer allows it (pacer's seconds
    // to wait, counted in whole milliseconds down as the wait is).
    bool drawNow(double secondsUntilPacerDue) const;
    // How long the frame loop waits for events before it looks again: 0 when a held frame may go, else
    // until the pacer's next frame when an output may have one, else until a callback comes (which ends
    // the wait) or idle has passed.
    std::chrono::milliseconds wait(double secondsUntilPacerDue, std::chrono::milliseconds idle) const;

private:
    std::vector<bool> held_;
    std::vector<int> unanswered_;
};

} // namespace mirevo::viewer
