#include "viewer/wayland/surface_role.h"

namespace mirevo::viewer {

std::optional<SurfaceRole> chooseSurfaceRole(uint32_t layerShellVersion, uint32_t xdgWmBaseVersion) {
    if (layerShellVersion >= 1) return SurfaceRole::Overlay;
    if (xdgWmBaseVersion >= 1) return SurfaceRole::FullscreenToplevel;
    return std::nullopt;
}

const char* describe(SurfaceRole role) {
    return role == SurfaceRole::Overlay ? "layer-shell overlay" : "full-screen toplevel";
}

} // namespace mirevo::viewer
