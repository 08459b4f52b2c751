#include "saver/preview/preview_layout.h"

#include "saver/preview/twips.h"

namespace mirevo {

PreviewLayout previewLayout(int hostWidth, int hostHeight, float twipsPerPixelX, float twipsPerPixelY) {
    PreviewLayout layout;
    // A failed conversion leaves the dimension at its start value, 0.
    if (auto w = twipsFromPixels(hostWidth, twipsPerPixelX)) layout.widthTwips = *w;
    if (auto h = twipsFromPixels(hostHeight, twipsPerPixelY)) layout.heightTwips = *h;
    layout.width = pixelsFromTwips(layout.widthTwips, twipsPerPixelX);
    layout.height = pixelsFromTwips(layout.heightTwips, twipsPerPixelY);
    return layout;
}

} // namespace mirevo
