#include "idle/lockers/qt_lock_desk.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <QDBusMessage>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/x11/x11_window_search.h"
#include "idle/bus/qt_peer_bus.h"
#include "idle/lock/lock_status.h"
#include "idle/lockers/qt_logind.h"

namespace mirevo {
namespace {

using namespace std::chrono_literals;

// A discovery's question waits at most this long: it comes before every lock.
constexpr auto kAskLimit = 1000ms;

// The program's path in PATH, or empty.
std::string inPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path && *path ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// Whether a process of this user runs under that name.
bool runsAs(const std::string& name) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        const std::string folder = std::string("/proc/") + entry->d_name;
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || st.st_uid != ::getuid()) continue;
        char comm[64] = "";
        if (FILE* file = std::fopen((folder + "/comm").c_str(), "r")) {
            if (!std::fgets(comm, sizeof comm, file)) comm[0] = '\0';
            std::fclose(file);
        }
        if (std::string(comm) == name + "\n") {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

} // namespace

QtLockDesk::QtLockDesk(LockDeskSettings settings, QtLogind& logind)
    : settings_(std::move(settings)), logind_(logind), service_(settings_.sessionBus, kAskLimit * 2) {
    bound_.setSingleShot(true);
    QObject::connect(&bound_, &QTimer::timeout, [this] {
        if (keeper_) keeper_->boundPassed();
    });
    // The keeper's bound ends a wait for a window that never comes.
    QObject::connect(&coverPoll_, &QTimer::timeout, [this] {
        if (!x11_ || !x11ScreenCoveredBy(x11_->get(), "XScreenSaver")) return;
        coverPoll_.stop();
        done({});
    });
}

LockerFacts QtLockDesk::facts() {
    LockerFacts facts;
    facts.command = settings_.command;
    if (!facts.command.empty()) return facts; // nothing else is asked
    if (!settings_.sessionBus.empty()) {
        QtPeerBus bus(settings_.sessionBus, QStringLiteral("mirevo-idle-discovery"));
        if (bus.hello(kAskLimit)) {
            const auto owned = [&](const char* name) {
                QDBusPendingCall pending =
                    bus.callBusAsync(QStringLiteral("NameHasOwner"), {QString::fromLatin1(name)}, kAskLimit);
                pending.waitForFinished();
                return pending.reply().arguments().value(0).toBool();
            };
            for (const char* name : kGnomeShieldNames)
                if (facts.gnomeShell.empty() && owned(name)) facts.gnomeShell = name;
            facts.otherScreenSaver = owned("org.freedesktop.ScreenSaver") &&
                                     !(settings_.servesScreenSaver && settings_.servesScreenSaver());
        }
    }
    facts.wayland = settings_.wayland;
    facts.compositorLocks = settings_.compositorLocks;
    if (facts.wayland) {
        facts.swaylock = inPath("swaylock");
    } else {
        facts.xscreensaver =
            !inPath("xscreensaver-command").empty() &&
            PosixLockCommands::runQuietly({"xscreensaver-command", "-version"}, kAskLimit) == 0;
        facts.lightLocker = !inPath("light-locker-command").empty() && runsAs("light-locker");
    }
    facts.logindSession = logind_.hasSession();
    facts.logindProblem = logind_.sessionProblem();
    return facts;
}

const LockerChoice& QtLockDesk::discover() {
    choice_ = chooseLocker(facts());
    return choice_;
}

std::string QtLockDesk::statusText() {
    LockStatusFacts status;
    if (keeper_) {
        status.grace = keeper_->grace();
        status.last = keeper_->lastOutcome();
        if (keeper_->on() && !keeper_->locking()) discover();
    }
    status.locker = choice_;
    status.sleepProblem = logind_.sleepProblem();
    status.now = LockKeeper::Clock::now();
    return lockStatusText(status);
}

void QtLockDesk::runLocker(LockReason reason) {
    discover();
    const auto answer = [this](const Covered& covered) { done(covered); };
    switch (choice_.kind) {
    case LockerKind::XScreenSaver:
        return commands_.start(choice_.argv, choice_.description, [this](const Covered& covered) {
            if (covered)
                awaitXScreenSaverWindow();
            else
                done(covered);
        });
    case LockerKind::Command:
    case LockerKind::Swaylock:
    case LockerKind::LightLocker:
        return commands_.start(choice_.argv, choice_.description, answer);
    case LockerKind::GnomeShell:
        return service_.lock(gnomeShield(choice_.busName), answer);
    case LockerKind::ScreenSaverService:
        return service_.lock(desktopScreenSaver(), answer);
    case LockerKind::Logind:
        // Asked by logind itself: the session's own locker heard the same signal, and its LockedHint says
        // when.
        return logind_.lockSession(reason != LockReason::SessionLock, answer);
    case LockerKind::None:
        break;
    }
    const std::string why = choice_.description;
    QTimer::singleShot(0, [this, why] { done(Failure(why)); });
}

void QtLockDesk::done(const Covered& covered) {
    if (keeper_) keeper_->lockerDone(covered);
}

void QtLockDesk::awaitXScreenSaverWindow() {
    if (!x11_) {
        auto opened = X11Display::open();
        // Without a connection of our own there is nothing to look at: its word stands.
        if (!opened) return done({});
        x11_.emplace(std::move(*opened));
    }
    coverPoll_.start(20);
}

void QtLockDesk::stopLocker() {
    coverPoll_.stop();
    commands_.stop();
    service_.cancel();
    logind_.cancel();
}

void QtLockDesk::armBound(bool on) {
    if (on)
        bound_.start(std::chrono::duration_cast<std::chrono::milliseconds>(kLockBound));
    else
        bound_.stop();
}

void QtLockDesk::holdSleep(bool hold) {
    logind_.holdSleep(hold);
}

} // namespace mirevo
