#pragma once
// What Main needs from the desktop, on Qt and X11.
#include <memory>

#include "saver/settings/settings.h"
#include "saver/startup/startup_platform.h"
#include "saver/x11_instance_lock.h"

typedef struct _XDisplay Display;

namespace mirevo {

class QtSessionWindow;

class QtStartupPlatform final : public StartupPlatform {
public:
    // display and state outlive the platform; the QApplication exists.
    QtStartupPlatform(Display* display, ProgramState& state);
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
    Display* display_;
    ProgramState& state_;
    std::unique_ptr<X11InstanceLock> instanceLock_;
    std::unique_ptr<QtSessionWindow> session_;
};

} // namespace mirevo
