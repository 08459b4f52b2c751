#include "saver/settings_dialog/dialog_gradient.h"

#include <cmath>

#include "common/round_half_even.h"

namespace mirevo {

std::vector<uint8_t> gradientLevels(int height) {
    if (height <= 0) return {};
    // 3.142 rather than pi: the bands end a hair short of a full half wave, as they always have.
    const double k = height / 3.142;
    std::vector<uint8_t> levels;
    levels.reserve(std::size_t(height) + 1);
    for (int y = 0; y <= height; ++y)
        levels.push_back(uint8_t(roundHalfEven(std::fabs(std::sin(y / k)) * 220)));
    return levels;
}

} // namespace mirevo
