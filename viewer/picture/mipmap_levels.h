#pragma once
// The next smaller mipmap level of a blue-green-red picture, by averaging 2 x 2 blocks. Sides halve rounding
// down and stop at 1, as the GL sizes the levels of a texture whose sides are not powers of two; an odd last
// column or row is left out of the average.
#include "viewer/picture/picture.h"

namespace mirevo::viewer {

Picture halveImage(const Picture& level);

} // namespace mirevo::viewer
