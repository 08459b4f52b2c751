// Frame pacing, run against a simulated display: the loop waits as the viewer does (whole milliseconds), and
// the swap either returns at once or waits for the display's next refresh.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "viewer/scene/frame_pacer.h"

using namespace mirevo::viewer;

namespace {

struct Display {
    double refreshHz; // what the display really does
    bool vsync;
};

struct SimulatedRun {
    double framesPerSecond;
    double shortestGap; // between frame starts, after the first second
    bool pacing;
};

// Simulates seconds of the viewer loop; busy is the drawing time of one frame; stallAt adds one long pause.
SimulatedRun simulate(FramePacer& pacer, Display display, double busy, double seconds, double stallAt = -1) {
    double now = 0, lastStart = -1, shortest = 1e9;
    int frames = 0, countedFrames = 0;
    bool stalled = false;
    while (now < seconds) {
        double wait = pacer.secondsUntilDue(now);
        int waitMs = int(wait * 1000.0);
        if (waitMs > 0) {
            now += waitMs / 1000.0;
            continue;
        }
        if (stallAt >= 0 && !stalled && now >= stallAt) {
            now += 1.0;
            stalled = true;
        }
        double start = now;
        if (lastStart >= 0 && start > 1.0) shortest = std::min(shortest, start - lastStart);
        lastStart = start;
        now += busy;
        if (display.vsync) {
            double period = 1.0 / display.refreshHz;
            now = std::ceil(now / period + 1e-9) * period;
        } else {
            now += 0.0002; // the copy to a virtual screen
        }
        pacer.frameDone(start, now);
        ++frames;
        if (start > 1.0) ++countedFrames;
    }
    return {countedFrames / (seconds - 1.0 - (stalled ? 1.0 : 0.0)), shortest, pacer.pacing()};
}

} // namespace

TEST(FramePacer, HoldsFramesToTheRefreshRateOnlyWhereTheSwapDoesNot) {
    struct Case {
        const char* what;
        double reportedHz;
        Display display;
        double busy;
        bool pacing;
        double expectedRate;
    };
    const Case cases[] = {
        {"virtual screen, 60 Hz", 60, {60, false}, 0.003, true, 60},
        {"virtual screen, rate unknown", 0, {60, false}, 0.003, true, 60},
        {"virtual screen, 144 Hz", 144, {144, false}, 0.001, true, 144},
        {"vsync, 60 Hz", 60, {60, true}, 0.003, false, 60},
        {"vsync, 75 Hz reported as unknown", 0, {75, true}, 0.003, false, 75},
        {"too slow to pace", 60, {60, false}, 0.030, false, 1 / 0.0302},
    };
    for (const Case& c : cases) {
        FramePacer pacer(c.reportedHz);
        SimulatedRun run = simulate(pacer, c.display, c.busy, 10);
        EXPECT_EQ(run.pacing, c.pacing) << c.what;
        EXPECT_NEAR(run.framesPerSecond, c.expectedRate, c.expectedRate * 0.03) << c.what;
    }
}

TEST(FramePacer, StartsAfreshAfterAStallInsteadOfRushingToCatchUp) {
    FramePacer pacer(60);
    SimulatedRun run = simulate(pacer, {60, false}, 0.002, 6, 3.0);
    EXPECT_TRUE(run.pacing);
    EXPECT_GT(run.shortestGap, 0.5 / 60) << "frames bunched up after the stall";
    EXPECT_NEAR(run.framesPerSecond, 60, 2);
}

TEST(FramePacer, StopsPacingWhenTheSwapStartsWaitingForTheDisplay) {
    FramePacer pacer(60);
    simulate(pacer, {60, false}, 0.002, 2);
    ASSERT_TRUE(pacer.pacing());
    // Frames that fill the whole period (a swap that blocks, or a slow renderer) need no holding back.
    double now = 100;
    for (int i = 0; i < 100; ++i, now += 1.0 / 60)
        pacer.frameDone(now, now + 1.0 / 60);
    EXPECT_FALSE(pacer.pacing());
    EXPECT_EQ(pacer.secondsUntilDue(now), 0);
}

TEST(FramePacer, ACeilingHoldsFramesBelowItWhereverTheMeasuredPaceWouldNot) {
    struct Case {
        const char* what;
        double ceiling;
        Display display;
        double busy;
        double expectedRate;
    };
    const Case cases[] = {
        {"30 on a virtual screen, frames 80% of the period", 30, {60, false}, 0.8 / 30, 30},
        {"30 on a vsync display", 30, {60, true}, 0.003, 30},
        {"10, frames quick", 10, {60, false}, 0.002, 10},
        {"60, frames slower than that", 60, {60, false}, 0.030, 1 / 0.0302},
    };
    for (const Case& c : cases) {
        FramePacer pacer = FramePacer::ceiling(c.ceiling);
        SimulatedRun run = simulate(pacer, c.display, c.busy, 10);
        EXPECT_NEAR(run.framesPerSecond, c.expectedRate, c.expectedRate * 0.03) << c.what;
        EXPECT_LE(run.framesPerSecond, c.ceiling * 1.01) << c.what;
    }
}

// A GL that draws on the processor is held to the refresh rate from its first frame, even where its frames
// take most of the period (a busy machine), where measuring could not tell its swap from one that waits.
// Any other GL keeps the measured pace, so a display with vertical sync still sets its own.
TEST(FramePacer, ASoftwareRendererIsHeldToTheRefreshRateFromItsFirstFrame) {
    struct Case {
        const char* what;
        bool software;
        double reportedHz;
        Display display;
        double busy;
        double expectedRate;
    };
    const Case cases[] = {
        {"software, frames 85% of the period", true, 0, {60, false}, 0.85 / 60, 60},
        {"software, frames quick", true, 60, {60, false}, 0.003, 60},
        {"software, 75 Hz reported", true, 75, {75, false}, 0.003, 75},
        {"software, slower than the display", true, 60, {60, false}, 0.030, 1 / 0.0302},
        {"hardware, vsync at 75 Hz reported as unknown", false, 0, {75, true}, 0.003, 75},
        {"hardware, vsync at 60 Hz, frames 85% of the period", false, 60, {60, true}, 0.85 / 60, 60},
    };
    for (const Case& c : cases) {
        FramePacer pacer = FramePacer::forRenderer(c.reportedHz, c.software);
        SimulatedRun run = simulate(pacer, c.display, c.busy, 10);
        EXPECT_NEAR(run.framesPerSecond, c.expectedRate, c.expectedRate * 0.03) << c.what;
        if (c.software) {
            EXPECT_GT(run.shortestGap, 0.9 / c.expectedRate) << c.what << ": frames bunched up";
        }
    }
}
