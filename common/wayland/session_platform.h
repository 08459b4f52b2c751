#pragma once
// The platform choice every program of ours makes the same way (the saver, the viewer, mirevo-idle): the
// environment read, the compositor WAYLAND_DISPLAY names asked and waited for while it is slow, the line
// that it is slow said on standard error.
#include <string>

#include "common/platform_choice.h"

namespace mirevo {

// program names the lines ("Mirevo.scr"); wakeFd (the stop signals' pipe, or -1) ends a wait at once, the
// choice then refused as stopped.
Result<Platform, PlatformRefusal> chooseSessionPlatform(const std::string& program, int wakeFd,
                                                        CompositorWait wait = {});

} // namespace mirevo
