#pragma once
// The floor's motion as plain functions of the measured time: the slant rocks and the floor drifts with the
// time since start, the turn is integrated from the time between frames. No GL here.

namespace mirevo::viewer {

inline constexpr double kFieldOfViewDegrees = 55.0;
inline constexpr double kNearPlane = 1.0;
inline constexpr double kFarPlane = 20.0;
inline constexpr float kEyeDistance = 3.0f; // the translation left at the bottom of the model-view stack
inline constexpr float kFloorLowering = -0.6f;
inline constexpr float kFloorHalfSide = 2.25f; // the floor is 4.5 units square
inline constexpr float kSpinDegreesPerSecond = 30.0f;

// Slant about x in degrees: rocks between 15 and 35, starting at 25 and rising.
double tiltDegrees(double elapsedSeconds);
// Offset along the tilted z axis: swings between -1.5 and +0.5, starting at -0.5 and coming nearer.
double driftOffset(double elapsedSeconds);
// One frame's turn: 30 degrees a second, and one wrap at most, so 360 itself stays and a jump of more than a
// whole turn comes down over the following frames.
float advanceSpin(float spinAngle, double frameSeconds);

// What one frame draws with, already rounded to what the transformation calls take.
struct FramePose {
    float tilt = 0;
    float drift = 0;
    float spin = 0;
};

class SceneMotion {
public:
    FramePose step(double elapsedSeconds, double frameSeconds);
    float spinAngle() const { return spinAngle_; }

private:
    float spinAngle_ = 0;
};

} // namespace mirevo::viewer
