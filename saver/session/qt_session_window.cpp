#include "saver/session/qt_session_window.h"

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>

#include "common/program_names.h"
#include "common/snapshot_path.h"
#include "common/posix/posix_stop_signals.h"
#include "common/qt/qt_stop_signals.h"

namespace mirevo {
namespace {

int slot(SessionTimer timer) {
    return static_cast<int>(timer);
}

} // namespace

QtSessionWindow::QtSessionWindow(std::unique_ptr<SessionDesktop> desktop, const Settings& settings,
                                 int32_t& lastApiResult, std::string programFolder, bool cursorHidden)
    : desktop_(std::move(desktop)), music_(makeMusic(settings, lastApiResult)),
      session_(*this, *music_, settings, std::move(programFolder), cursorHidden) {
    for (SessionTimer timer : {SessionTimer::Timer1, SessionTimer::Timer2, SessionTimer::Timer3}) {
        auto& qtimer = timers_[slot(timer)];
        qtimer = std::make_unique<QTimer>();
        qtimer->setInterval(timerInterval(timer));
        QObject::connect(qtimer.get(), &QTimer::timeout, [this, timer] {
            if (timer == SessionTimer::Timer1) session_.onTimer1();
            if (timer == SessionTimer::Timer2) session_.onTimer2();
            if (timer == SessionTimer::Timer3) session_.onTimer3();
        });
    }
    // The watch counts from the window's creation; ticks arrive only once the load handler has returned.
    timers_[slot(SessionTimer::Timer3)]->start();
    stopSignals_ = std::make_unique<QtStopSignals>([this] { session_.unload(); });
    session_.load();
}

// However the program comes to destroy the session, it leaves no viewer behind.
QtSessionWindow::~QtSessionWindow() {
    viewer_.end();
}

std::unique_ptr<RowSource> QtSessionWindow::grabScreen() {
    return desktop_->grabScreen();
}

WriteResult QtSessionWindow::writeSnapshot(const FileContents& contents) {
    const std::string path = snapshotPath(true);
    if (path.empty()) return writeFailure("no private folder for it");
    return writeFileAtomically(path, contents);
}

bool QtSessionWindow::snapshotExists() {
    const std::string path = snapshotPath(false);
    struct stat info {};
    return !path.empty() && ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void QtSessionWindow::removeSnapshot() {
    const std::string path = snapshotPath(false);
    if (!path.empty()) ::unlink(path.c_str());
}

bool QtSessionWindow::startProgram(const std::string& path) {
    return viewer_.start(path);
}

bool QtSessionWindow::startedProgramEnded() {
    return viewer_.ended();
}

void QtSessionWindow::endStartedProgram() {
    viewer_.end();
}

bool QtSessionWindow::windowExists(const std::string& title) {
    return desktop_->windowExists(title);
}

void QtSessionWindow::showCursor() {
    desktop_->showCursor();
}

void QtSessionWindow::setTimer(SessionTimer timer, bool on) {
    QTimer& qtimer = *timers_[slot(timer)];
    if (on && !qtimer.isActive()) qtimer.start();
    if (!on) qtimer.stop();
}

std::chrono::steady_clock::time_point QtSessionWindow::now() {
    return std::chrono::steady_clock::now();
}

void QtSessionWindow::report(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

bool QtSessionWindow::stopRequested() {
    return mirevo::stopRequested();
}

void QtSessionWindow::endProgram() {
    for (auto& timer : timers_)
        timer->stop();
    QCoreApplication::exit(0);
}

} // namespace mirevo
