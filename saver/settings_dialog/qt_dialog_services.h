#pragma once
// The settings dialog's desktop services on Qt and X11: Qt's file chooser, the user's browser or viewer
// through Qt's desktop services, the pointer, the window manager's frame, and the zoom outline.
#include "saver/settings_dialog/dialog_services.h"

namespace mirevo {

class QtDialogServices final : public DialogServices {
public:
    std::optional<ScreenPoint> pointerPosition() override;
    FrameMargins frameMargins(QWidget& window) override;
    void askForCloseBoxOnly(QWidget& window) override;
    std::optional<std::string> chooseFile(QWidget& owner, const FileRequest& request) override;
    void showMessage(QWidget& owner, const std::string& text) override;
    void openAddress(const std::string& address) override;
    void zoom(const ZoomRect& from, const ZoomRect& to, const std::function<void()>& meanwhile) override;
};

// Qt's form of the filter: "name (patterns)", the patterns hidden from the user by the chooser.
std::string qtNameFilter(const FileRequest& request);

} // namespace mirevo
