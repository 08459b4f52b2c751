#pragma once
// An output as the compositor lays it out: where it sits in the desktop's logical space and how its pixels
// (the mode, as a screen copy arrives) map onto that place. Plain data, shared by the picture composition and
// the viewer's surfaces.
#include <string>

namespace mirevo {

// wl_output's transforms, by their wire values: a turn counter-clockwise, then (Flipped) a mirror.
enum class OutputTransform {
    Normal = 0, Turn90 = 1, Turn180 = 2, Turn270 = 3,
    Flipped = 4, Flipped90 = 5, Flipped180 = 6, Flipped270 = 7,
};

struct OutputLayout {
    std::string name;
    int x = 0, y = 0;                   // logical position
    int logicalWidth = 0, logicalHeight = 0;
    int modeWidth = 0, modeHeight = 0;  // the current mode, in the output's own pixels
    int scale = 1;
    int refreshMilliHz = 0;             // 0 when unknown
    OutputTransform transform = OutputTransform::Normal;
};

// Fills in a logical size the compositor did not give (no xdg-output): the mode turned by the transform and
// divided by the scale.
OutputLayout withLogicalSize(OutputLayout output);

} // namespace mirevo
