#pragma once
// Where the preview window goes in its host, worked out from the host's size alone.
#include <cstdint>

namespace mirevo {

struct PreviewLayout {
    // The host's size as the window keeps it; 0 for a dimension too large for 16-bit twips.
    int16_t widthTwips = 0;
    int16_t heightTwips = 0;
    // The preview window and Img_Prev, at 0,0 of the host, in pixels.
    int width = 0;
    int height = 0;
};

PreviewLayout previewLayout(int hostWidth, int hostHeight, float twipsPerPixelX, float twipsPerPixelY);

} // namespace mirevo
