#include "saver/qt_startup_platform.h"

#include <QApplication>

#include "common/snapshot_path.h"
#include "saver/session/qt_session_window.h"
#include "common/posix/posix_stop_signals.h"
#include "common/qt/qt_stop_signals.h"
#include "saver/settings_dialog/home_page.h"
#include "saver/settings_dialog/qt_dialog_services.h"
#include "saver/settings_dialog/qt_settings_dialog.h"
#include "saver/qt_toolkit.h"
#include "common/posix/paths.h"
#include "shared/settings_file/settings_location.h"

namespace mirevo {

QtStartupPlatform::QtStartupPlatform(SaverDesktop& desktop, ProgramState& state)
    : desktop_(desktop), state_(state) {}

QtStartupPlatform::~QtStartupPlatform() = default;

bool QtStartupPlatform::takeInstanceLock() {
    return desktop_.takeInstanceLock();
}

bool QtStartupPlatform::windowExists(const std::string& title) {
    return desktop_.windowExists(title);
}

void QtStartupPlatform::bringToFront(const std::string& title) {
    desktop_.bringToFront(title);
}

std::string QtStartupPlatform::programFolder() {
    return thisProgramFolder();
}

void QtStartupPlatform::showMessageBox(const std::string& text, const std::string& caption) {
    if (stopRequested()) return;
    // A stop signal answers the box as OK does.
    QtStopSignals stopSignals([] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    mirevo::showMessageBox(text, caption);
}

void QtStartupPlatform::hideCursor() {
    desktop_.hideCursor();
}

bool QtStartupPlatform::showPreview(int32_t hostHandle) {
    return desktop_.showPreview(hostHandle);
}

void QtStartupPlatform::showSettingsDialog() {
    if (stopRequested()) return; // asked to end before there was a dialog to close
    QtDialogServices services;
    const auto consent = desktop_.desktopPictureConsent();
    TovikP dialog(state_, settingsPaths(programFolder()).write,
                  homePageAddressOnDisk(MIREVO_HOME_PAGE, programFolder(), MIREVO_DOC_FROM_PROGRAMS), services,
                  consent.get());
    // A stop signal closes the window like its close box (nothing is written), and the file chooser first
    // when it is open over it.
    QtStopSignals stopSignals([&dialog] {
        QWidget* chooser = QApplication::activeModalWidget();
        if (chooser && chooser != &dialog) chooser->close();
        dialog.close();
    });
    dialog.showModal();
}

void QtStartupPlatform::startSession(bool cursorHidden) {
    session_ = std::make_unique<QtSessionWindow>(desktop_.sessionDesktop(), state_.settings, state_.LastApiResult,
                                                 programFolder(), cursorHidden);
}

} // namespace mirevo
