#include "viewer/wayland/output_frames.h"

#include <gtest/gtest.h>

namespace mirevo::viewer {
namespace {

using namespace std::chrono_literals;

// Two outputs through a run of frames drawn, commits and callbacks: what may be drawn, what is committed,
// and how long the loop waits (the pacer's seconds to the next frame given, 500 ms the longest wait).
TEST(OutputFrames, AtMostTwoFramesAwaitTheCompositorAndNoneIsDrawnBeforeThePacerAllows) {
    OutputFrames frames(2);
    enum Step { Start, Draw0, Draw1, Commit0, Commit1, Callback0, Callback1 };
    const struct {
        Step step;
        double pacer;
        bool drawable0, drawable1, showable0, showable1, drawNow;
        std::chrono::milliseconds wait;
    } cases[] = {
        {Start, 0.0, true, true, false, false, true, 0ms},          // the first frames at once
        {Start, 0.0105, true, true, false, false, false, 10ms},     // but not before the pacer's time
        {Draw0, 0.0, false, true, true, false, true, 0ms},          // drawn, nothing awaited: committed at once
        {Commit0, 0.0, true, true, false, false, true, 0ms},        //
        {Draw0, 0.0, false, true, true, false, true, 0ms},          // the next goes while the first is shown
        {Commit0, 0.0, true, true, false, false, true, 0ms},        //
        {Draw0, 0.0, false, true, false, false, true, 0ms},         // the third is held: two await an answer
        {Draw1, 0.0, false, false, false, true, false, 0ms},        // the other output goes on meanwhile
        {Commit1, 0.004, false, true, false, false, false, 4ms},    //
        {Draw1, 0.0, false, false, false, true, false, 0ms},        //
        {Commit1, 0.0, false, true, false, false, true, 0ms},       //
        {Draw1, 0.016, false, false, false, false, false, 500ms},   // all held, none may go: no cause to look
        {Callback1, 0.016, false, false, false, true, false, 0ms},  // an answer: the held frame goes at once
        {Commit1, 0.016, false, true, false, false, false, 16ms},   // output 0, never answered, is left out
        {Commit1, -0.002, false, true, false, false, true, 0ms},    // a late frame is drawn at once
        {Commit1, 3.0, false, true, false, false, false, 500ms},    // a far-off pacer lets the loop look again
        {Callback0, 0.016, false, true, true, false, false, 0ms},   // output 0 goes on once answered
    };
    for (const auto& c : cases) {
        switch (c.step) {
        case Start: break;
        case Draw0: frames.drawn(0); break;
        case Draw1: frames.drawn(1); break;
        case Commit0: frames.committed(0); break;
        case Commit1: frames.committed(1); break;
        case Callback0: frames.callbackCame(0); break;
        case Callback1: frames.callbackCame(1); break;
        }
        const auto at = ::testing::Message() << "step " << &c - cases;
        EXPECT_EQ(frames.drawable(0), c.drawable0) << at;
        EXPECT_EQ(frames.drawable(1), c.drawable1) << at;
        EXPECT_EQ(frames.showable(0), c.showable0) << at;
        EXPECT_EQ(frames.showable(1), c.showable1) << at;
        EXPECT_EQ(frames.drawNow(c.pacer), c.drawNow) << at;
        EXPECT_EQ(frames.wait(c.pacer, 500ms), c.wait) << at;
    }
}

} // namespace
} // namespace mirevo::viewer
