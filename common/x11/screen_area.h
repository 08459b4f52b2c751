#pragma once
// Which part of the root window the screen grab reads.
#include <optional>

namespace mirevo {

struct ScreenArea {
    int x = 0, y = 0, width = 0, height = 0;
};

// The primary monitor's area when the server names one that lies wholly inside the root; the whole root
// otherwise. A monitor reaching outside the root (a panning set-up) cannot be read whole, and one of no size
// is not a monitor.
ScreenArea chooseScreenArea(int rootWidth, int rootHeight, const std::optional<ScreenArea>& primary);

} // namespace mirevo
