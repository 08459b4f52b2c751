#pragma once
// How a viewer surface covers its output: the layer shell's overlay layer where the compositor offers it
// (above panels and every window), else a full-screen toplevel on that output. Plain logic over the globals
// the compositor offers.
#include <cstdint>
#include <optional>
#include <string>

namespace mirevo::viewer {

enum class SurfaceRole { Overlay, FullscreenToplevel };

// Versions offered (0: not offered) of zwlr_layer_shell_v1 and xdg_wm_base; nothing when neither is.
std::optional<SurfaceRole> chooseSurfaceRole(uint32_t layerShellVersion, uint32_t xdgWmBaseVersion);

const char* describe(SurfaceRole role);

} // namespace mirevo::viewer
