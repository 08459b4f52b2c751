#include "saver/saver_desktop.h"

#include <array>
#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>

#include "common/log.h"
#include "common/posix/paths.h"
#include "common/posix/posix_program.h"
#include "common/posix/posix_stop_signals.h"
#include "common/qt/qt_stop_signals.h"
#include "common/snapshot_path.h"
#include "saver/qt_toolkit.h"
#include "saver/session/tovik_s.h"
#include "saver/settings_dialog/home_page.h"
#include "saver/settings_dialog/qt_dialog_services.h"
#include "saver/settings_dialog/qt_settings_dialog.h"
#include "shared/music/music.h"
#include "shared/settings_file/settings_location.h"

namespace mirevo {
namespace {

int slot(SessionTimer timer) {
    return static_cast<int>(timer);
}

} // namespace

// The session window Tovik_S on Qt: its three timers, the music, the viewer it starts, and the stop signals,
// which close it like any other close request.
struct SaverDesktop::Session {
    Session(SessionPlatform& platform, ProgramState& state, std::string programFolder, bool cursorHidden)
        : music(makeMusic(state.settings, state.LastApiResult)),
          window(platform, *music, state.settings, std::move(programFolder), cursorHidden) {
        for (SessionTimer timer : {SessionTimer::Timer1, SessionTimer::Timer2, SessionTimer::Timer3}) {
            auto& qtimer = timers[slot(timer)];
            qtimer = std::make_unique<QTimer>();
            qtimer->setInterval(timerInterval(timer));
            QObject::connect(qtimer.get(), &QTimer::timeout, [this, timer] {
                if (timer == SessionTimer::Timer1) window.onTimer1();
                if (timer == SessionTimer::Timer2) window.onTimer2();
                if (timer == SessionTimer::Timer3) window.onTimer3();
            });
        }
        // The watch counts from the window's creation; ticks arrive only once the load handler has returned.
        timers[slot(SessionTimer::Timer3)]->start();
        stopSignals = std::make_unique<QtStopSignals>([this] { window.unload(); });
    }
    // However the program comes to destroy the session, it leaves no viewer behind.
    ~Session() { viewer.end(); }

    std::unique_ptr<Music> music;
    StartedProgram viewer;
    std::array<std::unique_ptr<QTimer>, 3> timers;
    TovikS window;
    std::unique_ptr<QtStopSignals> stopSignals;
};

SaverDesktop::SaverDesktop(ProgramState& state) : state_(state) {}

SaverDesktop::~SaverDesktop() = default;

std::string SaverDesktop::programFolder() {
    return thisProgramFolder();
}

void SaverDesktop::showMessageBox(const std::string& text, const std::string& caption) {
    if (mirevo::stopRequested()) return;
    // A stop signal answers the box as OK does.
    QtStopSignals stopSignals([] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    mirevo::showMessageBox(text, caption);
}

void SaverDesktop::showSettingsDialog() {
    if (mirevo::stopRequested()) return; // asked to end before there was a dialog to close
    QtDialogServices services;
    const auto consent = desktopPictureConsent();
    TovikP dialog(state_, settingsPaths(programFolder()).write,
                  homePageAddressOnDisk(MIREVO_HOME_PAGE, programFolder(), MIREVO_DOC_FROM_PROGRAMS),
                  services, consent.get());
    // A stop signal closes the window like its close box (nothing is written), and the file chooser first
    // when it is open over it.
    QtStopSignals stopSignals([&dialog] {
        QWidget* chooser = QApplication::activeModalWidget();
        if (chooser && chooser != &dialog) chooser->close();
        dialog.close();
    });
    dialog.showModal();
}

void SaverDesktop::startSession(bool cursorHidden) {
    markRunningSession();
    session_ = std::make_unique<Session>(*this, state_, programFolder(), cursorHidden);
    session_->window.load();
}

void SaverDesktop::endSession() {
    session_.reset();
}

WriteResult SaverDesktop::writeSnapshot(const FileContents& contents) {
    const std::string path = snapshotPath(true);
    if (path.empty()) return writeFailure("no private folder for it");
    return writeFileAtomically(path, contents);
}

bool SaverDesktop::snapshotExists() {
    const std::string path = snapshotPath(false);
    struct stat info {};
    return !path.empty() && ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void SaverDesktop::removeSnapshot() {
    const std::string path = snapshotPath(false);
    if (!path.empty()) ::unlink(path.c_str());
}

bool SaverDesktop::startProgram(const std::string& path) {
    return session_->viewer.start(path);
}

bool SaverDesktop::startedProgramEnded() {
    return session_->viewer.ended();
}

void SaverDesktop::endStartedProgram() {
    session_->viewer.end();
}

void SaverDesktop::setTimer(SessionTimer timer, bool on) {
    QTimer& qtimer = *session_->timers[slot(timer)];
    if (on && !qtimer.isActive()) qtimer.start();
    if (!on) qtimer.stop();
}

std::chrono::steady_clock::time_point SaverDesktop::now() {
    return std::chrono::steady_clock::now();
}

void SaverDesktop::report(const std::string& line) {
    logError(line);
}

bool SaverDesktop::stopRequested() {
    return mirevo::stopRequested();
}

void SaverDesktop::endProgram() {
    for (auto& timer : session_->timers)
        timer->stop();
    QCoreApplication::exit(0);
}

} // namespace mirevo
