#pragma once
// What Main needs from the desktop, on Qt and X11.
#include <memory>
#include <optional>

#include "saver/startup/session_lock.h"
#include "saver/settings/settings.h"
#include "saver/startup/startup_platform.h"

typedef struct _XDisplay Display;

namespace mirevo {

class QtSessionWindow;

class QtStartupPlatform final : public StartupPlatform {
public:
    // display and state outlive the platform; the QApplication exists.
    QtStartupPlatform(Display* display, ProgramState& state);
    ~QtStartupPlatform() override;

    bool takeSessionLock() override;
    bool windowExists(const std::string& title) override;
    std::string programFolder() override;
    void showMessageBox(const std::string& text, const std::string& caption) override;
    void hideCursor() override;
    bool showPreview(int32_t hostHandle) override;
    void showSettingsDialog() override;
    void startSession(bool cursorHidden) override;

private:
    Display* display_;
    ProgramState& state_;
    std::optional<SessionLock> sessionLock_;
    std::unique_ptr<QtSessionWindow> session_;
};

} // namespace mirevo
