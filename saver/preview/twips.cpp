#include "saver/preview/twips.h"

#include "common/round_half_even.h"

namespace mirevo {

float twipsPerPixel(double logicalDpi) {
    if (!(logicalDpi > 0)) return 15.0f;
    return static_cast<float>(1440.0 / logicalDpi);
}

std::optional<int16_t> twipsFromPixels(int pixels, float twipsPerPixel) {
    // The product is taken in double precision, as single x long is.
    const double rounded = roundHalfEven(static_cast<double>(twipsPerPixel) * pixels);
    if (!(rounded >= INT16_MIN && rounded <= INT16_MAX)) return std::nullopt;
    return static_cast<int16_t>(rounded);
}

int pixelsFromTwips(int16_t twips, float twipsPerPixel) {
    if (!(twipsPerPixel > 0)) return 0;
    return static_cast<int>(roundHalfEven(twips / static_cast<double>(twipsPerPixel)));
}

} // namespace mirevo
