#include "viewer/wayland/surface_role.h"

#include <gtest/gtest.h>

namespace mirevo::viewer {
namespace {

TEST(SurfaceRole, OverlayWhereTheLayerShellIsOfferedElseAFullScreenToplevel) {
    const struct {
        uint32_t layerShell, xdgWmBase;
        std::optional<SurfaceRole> role;
    } cases[] = {{4, 5, SurfaceRole::Overlay},
                 {1, 0, SurfaceRole::Overlay},
                 {0, 2, SurfaceRole::FullscreenToplevel},
                 {0, 0, std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(chooseSurfaceRole(c.layerShell, c.xdgWmBase), c.role) << c.layerShell << " " << c.xdgWmBase;
}

} // namespace
} // namespace mirevo::viewer
