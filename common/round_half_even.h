#pragma once
// Rounding to the nearest whole number with an exact half going to the even neighbour (2.5 -> 2, 3.5 -> 4),
// as the saver's geometry and painting arithmetic rounds.
#include <cfenv>
#include <cmath>

namespace mirevo {

// nearbyint follows the rounding mode, which is to-nearest-even unless someone changed it.
inline double roundHalfEven(double value) {
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(mode);
    return rounded;
}

} // namespace mirevo
