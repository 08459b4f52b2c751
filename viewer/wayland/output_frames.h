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

    // Outputs that may be drawn on at once.
    explicit OutputFrames(size_t outputs = 0) : entries_(outputs, Entry{true}) {}

    size_t count() const { return entries_.size(); }
    // An output plugged in: not drawn on until ready (its surface placed and sized); its index.
    size_t add();
    // An output unplugged: those after it move down by one.
    void remove(size_t i) { entries_.erase(entries_.begin() + long(i)); }
    void setReady(size_t i) { entries_[i].ready = true; }
    // Output i's held frame is of a size that is no more: it is drawn again rather than committed.
    void discard(size_t i) { entries_[i].held = false; }

    // Output i may have its next frame drawn: it is ready and none is held for it.
    bool drawable(size_t i) const { return entries_[i].ready && !entries_[i].held; }
    // A frame was drawn for output i and is held until it may be committed.
    void drawn(size_t i) { entries_[i].held = true; }
    // Output i's held frame is to be committed now.
    bool showable(size_t i) const { return entries_[i].held && entries_[i].unanswered < kUnansweredFrames; }
    // A frame was committed to output i with a callback asked for it (its held one, or any other).
    void committed(size_t i) { entries_[i].held = false, ++entries_[i].unanswered; }
    // The compositor answered a frame callback of output i's.
    void callbackCame(size_t i) {
        if (entries_[i].unanswered > 0) --entries_[i].unanswered;
    }
    // Frames of the floor shown on output i, as the frame loop counts them.
    void countShown(size_t i) { ++entries_[i].shown; }
    unsigned long shown(size_t i) const { return entries_[i].shown; }

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
    struct Entry {
        bool ready = false, held = false;
        int unanswered = 0;
        unsigned long shown = 0;
    };
    std::vector<Entry> entries_;
};

} // namespace mirevo::viewer
