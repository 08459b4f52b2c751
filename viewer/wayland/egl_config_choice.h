#pragma once
// Which of the EGL configurations the driver offers the surfaces are drawn with. The floor fills its
// surfaces opaquely, so the buffers carry no alpha: a compositor that draws on the processor then copies
// them rather than blending them (XRGB8888, not ARGB8888), and 8 bits a channel, which it copies fastest
// (not 10-bit formats, which EGL's own order puts first for "at least 8"). Plain logic over the
// configurations' sizes, in EGL's order.
#include <optional>
#include <vector>

namespace mirevo::viewer {

struct EglConfigSizes {
    int red = 0, green = 0, blue = 0, alpha = 0, depth = 0, stencil = 0;
};

// The index of the configuration to use: 8-bit red, green and blue with a depth buffer of at least 16 bits,
// without alpha where one is offered, else with; among equals, the smallest depth and stencil buffers.
// Nothing when none has 8-bit channels and a depth buffer.
std::optional<size_t> chooseEglConfig(const std::vector<EglConfigSizes>& offered);

} // namespace mirevo::viewer
