#pragma once
// When each output's next frame is drawn and when it is shown. A frame is committed to an output only once
// the compositor has answered the last one's frame callback (it has shown that frame and wants another), so
// no frame is drawn that the compositor would not show. The next frame is drawn while the compositor is
// still busy with the last, at the frame pacer's pace, and held until it is wanted: the two work side by
// side rather than in turn, and an output the compositor never answers for (hidden, on another workspace)
// costs one frame drawn, then nothing, while the others go on.
#include <chrono>
#include <cstddef>
#include <vector>

namespace mirevo::viewer {

class OutputFrames {
public:
    explicit OutputFrames(size_t outputs) : held_(outputs, false), answerAwaited_(outputs, false) {}

    size_t count() const { return held_.size(); }
    // Output i may have its next frame drawn: none is held for it.
    bool drawable(size_t i) const { return !held_[i]; }
    // A frame was drawn for output i and is held until the compositor wants it.
    void drawn(size_t i) { held_[i] = true; }
    // Output i's held frame is to be committed now.
    bool showable(size_t i) const { return held_[i] && !answerAwaited_[i]; }
    // A frame was committed to output i with a callback asked for it (its held one, or any other).
    void committed(size_t i) { held_[i] = false, answerAwaited_[i] = true; }
    // The compositor's callback for output i's last frame came.
    void callbackCame(size_t i) { answerAwaited_[i] = false; }

    bool anyDrawable() const;
    bool anyShowable() const;
    // Whether the next frame is drawn now: an output may have one and the pacer allows it (pacer's seconds
    // to wait, counted in whole milliseconds down as the wait is).
    bool drawNow(double secondsUntilPacerDue) const;
    // How long the frame loop waits for events before it looks again: 0 when a held frame is wanted, else
    // until the pacer's next frame when an output may have one, else until a callback comes (which ends
    // the wait) or idle has passed.
    std::chrono::milliseconds wait(double secondsUntilPacerDue, std::chrono::milliseconds idle) const;

private:
    std::vector<bool> held_;
    std::vector<bool> answerAwaited_;
};

} // namespace mirevo::viewer
