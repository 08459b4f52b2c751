#include "common/x11/screen_area.h"

namespace mirevo {

ScreenArea chooseScreenArea(int rootWidth, int rootHeight, const std::optional<ScreenArea>& primary) {
    const ScreenArea whole{0, 0, rootWidth, rootHeight};
    if (!primary || primary->width <= 0 || primary->height <= 0) return whole;
    const ScreenArea& area = *primary;
    if (area.x < 0 || area.y < 0 || area.x + area.width > whole.width || area.y + area.height > whole.height)
        return whole;
    return area;
}

} // namespace mirevo
