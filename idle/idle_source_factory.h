#pragma once
// The idle source of this session, by the platform choice (MIREVO_PLATFORM, else a compositor that answers at
// WAYLAND_DISPLAY, else X11). A Wayland session takes nothing from XWayland.
#include <chrono>
#include <optional>
#include <string>

#include "idle/idle_source_choice.h"

namespace mirevo {

struct IdleSourceRequest {
    IdleSourceEvents events;
    std::optional<int> timeoutSeconds; // nothing: the platform's own (the X server's, or the Wayland default)
    std::string busAddress;            // for GNOME's idle monitor; empty when there is no bus
    std::chrono::milliseconds deadline{5000};
};

struct OpenedSessionIdleSource : OpenedIdleSource {
    bool wayland = false;
};

Result<OpenedSessionIdleSource, std::string> openSessionIdleSource(IdleSourceRequest request);

} // namespace mirevo
