#pragma once
// The platform choice every program of ours makes the same way (the saver, the viewer, mirevo-idle): the
// environment read, the compositor WAYLAND_DISPLAY names asked and waited for while it is slow, the line
// that it is slow said in the log, and, at the debug level, the platform and why.
#include <memory>
#include <string>

#include "common/platform_choice.h"
#include "common/wayland/wayland_connection.h"

namespace mirevo {

struct ChosenPlatform {
    Platform platform = Platform::X11;
    // The connection that answered when the compositor was asked, for a caller that talks to it next;
    // nothing for X11, or for a Wayland forced without asking.
    std::unique_ptr<WaylandConnection> compositor;
};

// wakeFd (the stop signals' pipe, or -1) ends a wait at once, the choice then refused as stopped.
Result<ChosenPlatform, PlatformRefusal> chooseSessionPlatform(int wakeFd, CompositorWait wait = {});

} // namespace mirevo
