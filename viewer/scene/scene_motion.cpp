#include "viewer/scene/scene_motion.h"

#include <cmath>

namespace mirevo::viewer {

double tiltDegrees(double elapsedSeconds) {
    return 25.0 + 10.0 * std::sin(0.5 * elapsedSeconds);
}

double driftOffset(double elapsedSeconds) {
    return std::sin(0.2 * elapsedSeconds) - 0.5f;
}

float advanceSpin(float spinAngle, double frameSeconds) {
    float next = spinAngle + kSpinDegreesPerSecond * static_cast<float>(frameSeconds);
    if (next > 360.0f) next -= 360.0f;
    return next;
}

FramePose SceneMotion::step(double elapsedSeconds, double frameSeconds) {
    spinAngle_ = advanceSpin(spinAngle_, frameSeconds);
    return {static_cast<float>(tiltDegrees(elapsedSeconds)), static_cast<float>(driftOffset(elapsedSeconds)),
            spinAngle_};
}

} // namespace mirevo::viewer
