#pragma once
// What the settings dialog asks of the desktop beyond its own widgets. The program uses QtDialogServices;
// tests put a stand-in here to answer the file chooser and watch the link and the zoom.
#include <functional>
#include <optional>
#include <string>

#include "common/result.h"
#include "saver/settings_dialog/dialog_rules.h"
#include "saver/settings_dialog/zoom_frames.h"

class QWidget;

namespace mirevo {

// Widths the window manager's frame adds around the client area.
struct FrameMargins {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class DialogServices {
public:
    virtual ~DialogServices() = default;
    // The pointer's position on the screen; nothing when it cannot be had.
    virtual std::optional<ScreenPoint> pointerPosition() = 0;
    // The frame the window will get once shown (zero without a window manager).
    virtual FrameMargins frameMargins(QWidget& window) = 0;
    // Asks the window manager for a caption and a close box only, before the window is first shown.
    virtual void askForCloseBoxOnly(QWidget&) {}
    // The file chooser, modal over owner: the chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> chooseFile(QWidget& owner, const FileRequest& request) = 0;
    // One message box, modal over owner, OK only; returns when it is closed.
    virtual void showMessage(QWidget& owner, const std::string& text) = 0;
    // Opens a web or file address in the user's browser or viewer; failures are not reported.
    virtual void openAddress(const std::string& address) = 0;
    // Draws the outline moving from one screen rectangle to the other; returns after its last frame.
    // meanwhile, when given, runs once the first frame is on the screen.
    virtual void zoom(const ZoomRect& from, const ZoomRect& to, const std::function<void()>& meanwhile) = 0;
};

// Taking the desktop's picture on a desktop that asks a person first (a Wayland desktop whose portal asks):
// the screen saver never makes it ask, since nobody may be there; the settings dialog, where a person is, offers
// to say yes once.
class DesktopPictureConsent {
public:
    virtual ~DesktopPictureConsent() = default;
    // Is the yes still missing here? Asked once, before the window is made.
    virtual bool needed() = 0;
    // Gives it; why not when it could not be stored.
    virtual Result<void, std::string> give() = 0;
};

} // namespace mirevo
