// The floor's motion, the frame clock under it, and the key that ends it.
#include <gtest/gtest.h>

#include <cmath>

#include "viewer/scene/frame_clock.h"
#include "viewer/scene/key_state.h"
#include "viewer/scene/scene_motion.h"

using namespace mirevo::viewer;

namespace {
constexpr double kPi = 3.14159265358979323846;
}

TEST(SceneMotion, SpinTurnsThirtyDegreesASecondAndWrapsOncePerFrame) {
    struct Case {
        float spin;
        double dt;
        float expected;
    };
    const Case cases[] = {
        {0, 0, 0},     {0, 1.0 / 60, 0.5f}, {345, 0.5, 360}, // exactly 360 is not wrapped
        {360, 0, 360}, {345.5f, 0.5, 0.5f},                  // 360.5 -> 0.5
        {359, 0.1, 2}, {0, 12, 360},                         // one turn in 12 s lands on 360, kept
        {0, 12.5, 15},                                       // 375 -> 15
        {0, 25, 390},  // more than a full turn beyond 360: down by 360 once only
        {390, 0, 30},  // ... and again on the next frame
        {750, 1, 420}, // 780 -> 420
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(advanceSpin(c.spin, c.dt), c.expected) << c.spin << " + 30 x " << c.dt;
}

TEST(SceneMotion, StartsAtTiltTwentyFiveDriftMinusHalfAndRepeatsWithItsPeriods) {
    EXPECT_DOUBLE_EQ(tiltDegrees(0), 25.0);
    EXPECT_DOUBLE_EQ(driftOffset(0), -0.5);
    EXPECT_GT(tiltDegrees(0.1), 25.0) << "the slant rises first";
    EXPECT_GT(driftOffset(0.1), -0.5) << "the floor comes nearer first";
    SceneMotion motion;
    FramePose first = motion.step(0, 0.2);
    EXPECT_FLOAT_EQ(first.tilt, 25.0f);
    EXPECT_FLOAT_EQ(first.drift, -0.5f);
    EXPECT_FLOAT_EQ(first.spin, 6.0f);

    double lowTilt = 100, highTilt = -100, lowDrift = 100, highDrift = -100;
    for (double t = 0; t < 40; t += 0.01) {
        EXPECT_NEAR(tiltDegrees(t + 4 * kPi), tiltDegrees(t), 1e-9) << t;
        EXPECT_NEAR(driftOffset(t + 10 * kPi), driftOffset(t), 1e-9) << t;
        lowTilt = std::min(lowTilt, tiltDegrees(t)), highTilt = std::max(highTilt, tiltDegrees(t));
        lowDrift = std::min(lowDrift, driftOffset(t)), highDrift = std::max(highDrift, driftOffset(t));
    }
    EXPECT_NEAR(lowTilt, 15, 1e-3);
    EXPECT_NEAR(highTilt, 35, 1e-3);
    EXPECT_NEAR(lowDrift, -1.5, 1e-3);
    EXPECT_NEAR(highDrift, 0.5, 1e-3);
}

TEST(SceneMotion, TwelveSecondsOfFramesMakeOneTurnWhateverTheFrameRate) {
    for (int rate : {24, 60, 144, 1000}) {
        SceneMotion motion;
        float previous = 0;
        int wraps = 0;
        for (int frame = 1; frame <= 12 * rate; ++frame) {
            FramePose pose = motion.step(double(frame) / rate, 1.0 / rate);
            if (pose.spin < previous) ++wraps;
            previous = pose.spin;
        }
        double turned = wraps * 360.0 + motion.spinAngle();
        EXPECT_NEAR(turned, 360.0, 0.05) << rate << " frames/s";
    }
}

TEST(FrameClock, TheSpinStepAfterAWeekEqualsTheFirstOne) {
    const uint64_t frequency = 1000000000; // nanoseconds, as SDL's counter on Linux
    const uint64_t frameTicks = frequency / 60;
    const uint64_t start = 123456789012345;
    const uint64_t week = 7ull * 24 * 3600 * frequency;
    FrameClock clock(frequency, start);
    clock.tick(start + frameTicks);
    FrameTimes early = clock.tick(start + 2 * frameTicks);
    FrameClock later(frequency, start);
    later.tick(start + week);
    FrameTimes late = later.tick(start + week + frameTicks);

    EXPECT_NEAR(late.elapsedSeconds, 7 * 24 * 3600.0 + 1.0 / 60, 1e-6);
    EXPECT_EQ(late.frameSeconds, early.frameSeconds);
    EXPECT_EQ(advanceSpin(100, late.frameSeconds), advanceSpin(100, early.frameSeconds));
    // The same two instants as single-precision seconds would be 1/16 s apart or nothing: the turn would
    // stall or jump. This is what keeping ticks avoids.
    float weekSeconds = float(7 * 24 * 3600.0), nextSeconds = float(7 * 24 * 3600.0 + 1.0 / 60);
    EXPECT_NE(double(nextSeconds - weekSeconds), early.frameSeconds);
}

TEST(KeyState, EscapeEndsTheViewerAtTheNextFrameEvenWhenAlreadyReleased) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, bool>> events; // key, pressed
        bool quits;
    };
    const int esc = KeyState::kEscape;
    const Case cases[] = {
        {"nothing", {}, false},
        {"Escape held", {{esc, true}}, true},
        {"Escape tapped between frames", {{esc, true}, {esc, false}}, true},
        {"other keys", {{'a', true}, {'a', false}, {' ', true}, {13, true}}, false},
        {"a key code beyond the table", {{0x40000052, true}, {-1, true}}, false},
        {"Escape released only", {{esc, false}}, false},
    };
    for (const Case& c : cases) {
        KeyState keys;
        for (auto [code, pressed] : c.events)
            pressed ? keys.press(code) : keys.release(code);
        EXPECT_EQ(keys.quitRequested(), c.quits) << c.what;
    }
}
