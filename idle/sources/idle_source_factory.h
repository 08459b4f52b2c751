#pragma once
// The idle source of this session, by the platform choice (MIREVO_PLATFORM, else a compositor that answers at
// WAYLAND_DISPLAY, else X11). A Wayland session takes nothing from XWayland. The source comes opened and not
// yet started: nothing is told before its start.
#include <chrono>
#include <optional>
#include <string>

#include "idle/sources/idle_source_choice.h"

namespace mirevo {

struct IdleSourceRequest {
    std::optional<int> timeoutSeconds; // nothing: the platform's own (the X server's, or the Wayland default)
    std::string busAddress;            // for GNOME's idle monitor; empty when there is no bus
    std::chrono::milliseconds deadline{5000};
};

struct OpenedSessionIdleSource : OpenedIdleSource {
    bool wayland = false;
    // The compositor offers a lock protocol (ext-session-lock-v1, or wlroots' layer shell with its input
    // inhibitor), as swaylock needs.
    bool compositorLocks = false;
};

Result<OpenedSessionIdleSource, std::string> openSessionIdleSource(const IdleSourceRequest& request);

} // namespace mirevo
