#pragma once
// The names mirevo-idle answers to on the session bus: the desktop's screen-saver service, and its own
// status service (io.github.mirevo.*, as the menu entry's application id).
namespace mirevo {

inline constexpr const char* kScreenSaverService = "org.freedesktop.ScreenSaver";
inline constexpr const char* kScreenSaverPaths[] = {"/ScreenSaver", "/org/freedesktop/ScreenSaver"};

inline constexpr const char* kIdleStatusService = "io.github.mirevo.Idle";
inline constexpr const char* kIdleStatusPath = "/io/github/mirevo/Idle";

} // namespace mirevo
