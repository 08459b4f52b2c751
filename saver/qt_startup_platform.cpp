#include "saver/qt_startup_platform.h"

#include <QApplication>

#include "common/snapshot_path.h"
#include "saver/preview/preview_window.h"
#include "saver/session/qt_session_window.h"
#include "common/posix/posix_stop_signals.h"
#include "common/qt/qt_stop_signals.h"
#include "saver/session/x11_cursor.h"
#include "common/x11/x11_window_search.h"
#include "saver/settings_dialog/home_page.h"
#include "saver/settings_dialog/qt_dialog_services.h"
#include "saver/settings_dialog/qt_settings_dialog.h"
#include "saver/qt_toolkit.h"
#include "common/posix/paths.h"
#include "saver/settings_file/settings_location.h"

namespace mirevo {

QtStartupPlatform::QtStartupPlatform(Display* display, ProgramState& state)
    : display_(display), state_(state) {}

QtStartupPlatform::~QtStartupPlatform() = default;

bool QtStartupPlatform::takeInstanceLock() {
    instanceLock_ = std::make_unique<X11InstanceLock>(display_);
    return instanceLock_->state() != X11InstanceLock::State::HeldElsewhere;
}

bool QtStartupPlatform::windowExists(const std::string& title) {
    return x11WindowExists(display_, title);
}

void QtStartupPlatform::bringToFront(const std::string& title) {
    x11BringToFront(display_, x11FindWindow(display_, title));
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
    x11HideCursor(display_);
}

bool QtStartupPlatform::showPreview(int32_t hostHandle) {
    return ShowPreview(hostHandle);
}

void QtStartupPlatform::showSettingsDialog() {
    if (stopRequested()) return; // asked to end before there was a dialog to close
    QtDialogServices services;
    TovikP dialog(state_, settingsPaths(programFolder()).write,
                  homePageAddressOnDisk(MIREVO_HOME_PAGE, programFolder(), MIREVO_DOC_FROM_PROGRAMS), services);
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
    session_ = std::make_unique<QtSessionWindow>(display_, state_.settings, state_.LastApiResult,
                                                 programFolder(), cursorHidden);
}

} // namespace mirevo
