#pragma once
// The desktop's picture from the session bus, where no screen copy is offered: KWin's screenshot service
// (KDE Plasma; it answers programs whose installed desktop entry declares the interface) and the desktop
// portal's Screenshot (GNOME and any desktop with a portal backend), asked only once the permission store
// holds a person's yes, since GNOME's would ask the user. Each is bounded by the deadline it is given and ends
// at a stop signal; a picture larger than the floor needs is reduced as it is read.
#include "common/result.h"
#include "saver/session/picture_size.h"
#include "saver/session/picture_sources.h"

namespace mirevo {

inline constexpr const char* kKWinService = "org.kde.KWin";
inline constexpr const char* kKWinScreenShotPath = "/org/kde/KWin/ScreenShot2";
inline constexpr const char* kKWinScreenShotInterface = "org.kde.KWin.ScreenShot2";
inline constexpr const char* kPortalService = "org.freedesktop.portal.Desktop";
inline constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
inline constexpr const char* kPortalScreenshotInterface = "org.freedesktop.portal.Screenshot";

// Why the portal is not asked (the failure's reason where the permission store holds no yes).
inline constexpr const char* kPortalNotAllowed =
    "not allowed yet to take the desktop's picture (allow it in the settings: mirevo /c)";

// CaptureWorkspace without the cursor, its raw pixels read from a pipe; an answer larger than the outputs
// could give is refused before anything is read.
PictureSource kwinScreenShotSource();
// Screenshot, not interactive, where the permission store says yes; the picture read from the file its answer
// names (a regular file of bounded size only), which is removed once read when it is the plain file the
// portal made for this request.
PictureSource portalScreenshotSource();

// QImage's pixel formats KWin names in its answer ("format"), as their QImage::Format values.
bool kwinFormatKnown(unsigned format);

// Whether taking the desktop's picture here waits for a person's yes that has not been given: a Wayland
// desktop without the wlroots screen copy or KWin's service, whose portal is there and whose permission
// store holds no yes. False when any of it cannot be told by the deadline.
bool desktopPictureNeedsConsent(Deadline deadline);
// Stores the yes (the permission store's screenshot entry for programs outside a sandbox); why not.
Result<void, std::string> allowDesktopPicture(Deadline deadline);

} // namespace mirevo
