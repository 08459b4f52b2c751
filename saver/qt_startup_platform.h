#pragma once
// What Main needs from the desktop, on Qt, with the desktop (X11 or Wayland) beside it.
#include <memory>

#include "shared/settings/settings.h"
#include "saver/startup/startup_platform.h"
#include "saver/saver_desktop.h"

namespace mirevo {

class QtSessionWindow;

class QtStartupPlatform final : public StartupPlatform {
public:
    // desktop and state outlive the platform; the QApplication exists.
    QtStartupPlatform(SaverDesktop& desktop, ProgramState& state);
    ~QtStartupPlatform() override;

    bool takeInstanceLock() override;
    bool windowExists(const std::string& title) override;
    void bringToFront(const std::string& title) override;
    std::string programFolder() override;
    void showMessageBox(const std::string& text, const std::string& caption) override;
    void hideCursor() override;
    bool showPreview(int32_t hostHandle) override;
    void showSettingsDialog() override;
    void startSession(bool cursorHidden) override;

private:
    SaverDesktop& desktop_;
    ProgramState& state_;
    std::unique_ptr<QtSessionWindow> session_;
};

} // namespace mirevo
