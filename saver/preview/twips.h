#pragma once
// Twips (1/1440 inch) as the saver's window geometry keeps them: signed 16-bit values.
#include <cstdint>
#include <optional>

namespace mirevo {

// 15 at 96 dots per inch.
float twipsPerPixel(double logicalDpi);

// pixels x twips per pixel, rounded to the nearest whole number (an exact half to the even neighbour).
// Nothing when the result does not fit in 16 bits: at 15 twips per pixel, more than 2184 pixels.
std::optional<int16_t> twipsFromPixels(int pixels, float twipsPerPixel);

// Back to whole pixels, rounded the same way.
int pixelsFromTwips(int16_t twips, float twipsPerPixel);

} // namespace mirevo
