#pragma once
// The desktop's picture from the session bus, where no screen copy is offered: KWin's screenshot service
// (KDE Plasma; it answers programs whose installed desktop entry declares the interface) and the desktop
// portal's Screenshot (GNOME and any desktop with a portal backend; it may ask the user once). Each is bounded
// by the deadline it is given.
#include "saver/session/picture_sources.h"

namespace mirevo {

inline constexpr const char* kKWinService = "org.kde.KWin";
inline constexpr const char* kKWinScreenShotPath = "/org/kde/KWin/ScreenShot2";
inline constexpr const char* kKWinScreenShotInterface = "org.kde.KWin.ScreenShot2";
inline constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
inline constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
inline constexpr const char* kPortalScreenshotInterface = "org.freedesktop.portal.Screenshot";

// CaptureWorkspace without the cursor, its raw pixels read from a pipe.
PictureSource kwinScreenShotSource();
// Screenshot, not interactive; the picture read from the file its answer names.
PictureSource portalScreenshotSource();

// QImage's pixel formats KWin names in its answer ("format"), as their QImage::Format values.
bool kwinFormatKnown(unsigned format);

} // namespace mirevo
