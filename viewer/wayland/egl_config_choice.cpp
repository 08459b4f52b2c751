#include "viewer/wayland/egl_config_choice.h"

#include <tuple>

namespace mirevo::viewer {

std::optional<size_t> chooseEglConfig(const std::vector<EglConfigSizes>& offered) {
    std::optional<size_t> best;
    // Lower is better: alpha first, then the extra buffers' sizes; EGL's own order breaks ties.
    const auto cost = [&](size_t i) {
        const EglConfigSizes& c = offered[i];
        return std::make_tuple(c.alpha > 0, c.depth, c.stencil);
    };
    for (size_t i = 0; i < offered.size(); ++i) {
        const EglConfigSizes& c = offered[i];
        if (c.red != 8 || c.green != 8 || c.blue != 8 || c.depth < 16) continue;
        if (!best || cost(i) < cost(*best)) best = i;
    }
    return best;
}

} // namespace mirevo::viewer
