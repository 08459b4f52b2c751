#pragma once
// The idle time: mirevo-idle's own default where the desktop has none for it (a Wayland session), and the one
// line that says which idle time is in force, and whose setting it is.
#include <optional>
#include <string>

namespace mirevo {

// In a Wayland session, without --timeout.
inline constexpr int kDefaultWaylandTimeoutMinutes = 10;

// Whose idle time is in force: --timeout's, --idle-seconds', the X server's, mirevo-idle's Wayland default.
enum class TimeoutOrigin { CommandLine, IdleSeconds, XServer, WaylandDefault };

std::string timeoutLine(int seconds, TimeoutOrigin origin);

} // namespace mirevo
