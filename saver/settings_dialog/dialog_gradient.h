#pragma once
// The banded background of the settings window and its panel: dark at the top and bottom edges, light in the
// middle, one colour per pixel row.
#include <array>
#include <cstdint>
#include <vector>

namespace mirevo {

// Brightness v of the rows y = 0 .. height (both ends, so one more than the rows shown): |sin(y / k)| x 220
// with k = height / 3.142, each rounded to the nearest whole number, a half to the even one.
std::vector<uint8_t> gradientLevels(int height);

using Rgb = std::array<uint8_t, 3>;
// Navy to lavender blue for the window, grey for the panel.
inline Rgb windowRowColour(uint8_t v) {
    return {v, v, uint8_t(v + 30)};
}
inline Rgb panelRowColour(uint8_t v) {
    return {uint8_t(v + 30), uint8_t(v + 30), uint8_t(v + 30)};
}

} // namespace mirevo
