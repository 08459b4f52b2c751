// mirevo-idle: starts the Mirevo screen saver when the user is idle, and stays out of the way of video. The
// wiring: the idle source is opened, the daemon built over it, then the source started with the daemon's
// events, then the bus.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include <QCoreApplication>
#include <QEventLoop>
#include <unistd.h>

#include "common/log.h"
#include "common/posix/paths.h"
#include "common/posix/posix_stop_signals.h"
#include "common/program_names.h"
#include "common/qt/qt_stop_signals.h"
#include "common/session_bus.h"
#include "common/user_folders.h"
#include "idle/bus/qt_idle_bus.h"
#include "idle/bus/qt_idle_status.h"
#include "idle/daemon/autostart_entry.h"
#include "idle/daemon/idle_command_line.h"
#include "idle/daemon/idle_daemon.h"
#include "idle/daemon/idle_timeout.h"
#include "idle/daemon/saver_location.h"
#include "idle/lock/lock_keeper.h"
#include "idle/lock/lock_status.h"
#include "idle/lockers/qt_lock_desk.h"
#include "idle/lockers/qt_logind.h"
#include "idle/session/posix_session_starter.h"
#include "idle/sources/idle_source_factory.h"

namespace {

using namespace mirevo;

// A line of the program's answer on standard output, named as the log names its lines on standard error.
void printAnswer(const std::string& line) {
    std::printf("%s: %s\n", logProgram().c_str(), line.c_str());
    std::fflush(stdout);
}

// This program's own file, links resolved, so that a link in bin/ still finds ../lib/mirevo/.
std::string ownProgram(const char* argv0) {
    const std::string path = thisProgramPath();
    if (!path.empty()) return path;
    std::error_code error;
    return std::filesystem::absolute(argv0, error).string();
}

int autostart(const IdleOptions& options, const std::string& program) {
    const std::string path = autostartEntryPath(environmentText("XDG_CONFIG_HOME"), environmentText("HOME"));
    if (path.empty()) {
        logError("neither XDG_CONFIG_HOME, HOME nor the user database names a home "
                          "folder for the login entry");
        return 1;
    }
    const AutostartResult result = setAutostart(*options.autostart, path, program, daemonArguments(options));
    if (result.ok)
        printAnswer(result.line);
    else
        logError(result.line);
    return result.ok ? 0 : 1;
}

int status() {
    const auto answer = askIdleStatus(environmentSessionBus(), std::chrono::seconds(5));
    if (!answer) {
        logError(answer.reason());
        return 1;
    }
    std::fputs(statusText(*answer, std::time(nullptr)).c_str(), stdout);
    return 0;
}

int watch(const IdleOptions& options, const std::string& saverProgram) {
    // A stop while the compositor is waited for ends the wait; the Qt loop watches the same pipe later.
    catchStopSignals();
    const std::string address = environmentSessionBus();
    IdleSourceRequest request;
    request.timeoutSeconds = requestedTimeoutSeconds(options);
    request.busAddress = address;
    auto opened = openSessionIdleSource(request);
    if (!opened) {
        if (stopRequested()) return 0; // asked to end while the compositor was waited for
        logError(opened.reason());
        return 1;
    }
    // What happens while it runs (a player holds the saver off, the bus comes and goes): said, not failed.
    const auto line = [](const std::string& text) { logInfo(text); };
    const auto now = [] { return std::chrono::steady_clock::now(); };
    IdleSource& source = *opened->source;
    const bool locking = options.lockAfterSeconds.has_value();
    PosixSessionStarter starter(saverProgram, locking);
    IdleDaemon daemon(source, starter, now);
    daemon.setSourceName(opened->name);
    daemon.onLog(line);
    std::optional<QtIdleBus> bus;

    // Locking: the keeper's decisions over the desk's locker, logind and the runs' floors.
    QtLogind logind(QtLogind::systemBusAddress(), std::chrono::seconds(2));
    if (locking) logind.open();
    QtLockDesk desk({options.lockCommand, address, opened->wayland, opened->compositorLocks,
                     [&] { return bus && bus->servesScreenSaver(); },
                     [&](uint64_t run, FloorMessage message) { starter.tellFloor(run, message); }, line,
                     [&] { daemon.screenLocked(); }},
                    logind);
    std::optional<std::chrono::seconds> grace;
    if (locking) grace = std::chrono::seconds(*options.lockAfterSeconds);
    LockKeeper keeper(grace, desk, now);
    desk.listen(keeper);
    logind.start({[&](bool sleeping) { keeper.prepareForSleep(sleeping); },
                  [&] { keeper.lockRequested(LockReason::SessionLock); }, line});
    starter.listen({[&](uint64_t run) { keeper.runStarted(run); },
                    [&](uint64_t run) { keeper.floorShown(run); },
                    [&](uint64_t run) { keeper.endingKey(run); },
                    [&](uint64_t run) {
                        daemon.sessionEnded();
                        keeper.runEnded(run);
                    }});
    daemon.onLocking({[&] { return keeper.lockRequested(LockReason::Asked) != LockAnswer::Off; },
                      [&] { return desk.statusText(); }});
    keeper.start();

    int exitCode = 0;
    source.start({[&] { daemon.serverSaverOn(); }, [&] { daemon.serverSaverOff(); },
                  [&](const std::string& text) {
                      logError(text);
                      exitCode = 1;
                      QCoreApplication::exit(1);
                  }});

    bool stopped = false;
    QEventLoop firstTry;
    QtStopSignals stop([&] {
        stopped = true;
        firstTry.quit();
        QCoreApplication::exit(0);
    });
    // The sessions it starts find no bus either, rather than start one.
    forbidSessionBusAutolaunch();
    if (address.empty()) {
        line(std::string(
                 "no D-Bus session bus; players can still hold the screen saver off through "
                 "the ") +
             (opened->wayland ? "compositor" : "X server") + ", but not over D-Bus");
    } else {
        bus.emplace(
            address, daemon, [&] { return source.timeoutSeconds(); }, line, QtIdleBus::Timing{});
        daemon.onActiveChanged([&](bool active) { bus->activeChanged(active); });
        // The first try ends within its deadline, before the idle time is reported.
        QObject::connect(&*bus, &QtIdleBus::stateChanged, &firstTry, &QEventLoop::quit);
        bus->start();
        if (bus->state() == QtIdleBus::State::Connecting) firstTry.exec();
        if (stopped) return 0;
    }

    if (locking) {
        if (!logind.sleepProblem().empty())
            line(logind.sleepProblem() +
                 "; the screen is not locked before the system sleeps");
        const LockerChoice& locker = desk.discover();
        if (locker.kind == LockerKind::None)
            logWarning(lockingLine(*grace, locker));
        else
            printAnswer(lockingLine(*grace, locker));
    }
    // The last of the start's lines.
    printAnswer(timeoutLine(source.timeoutSeconds(), timeoutOrigin(options, opened->wayland)));

    const int loopCode = QCoreApplication::exec();
    return exitCode ? exitCode : loopCode;
}

} // namespace

int main(int argc, char** argv) {
    startLog(kIdleProgramName);
    const auto parsed = parseIdleCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed) {
        logError(parsed.reason().line);
        return 2;
    }
    const auto& options = *parsed;
    if (options.help) return std::fputs(idleHelpText().c_str(), stdout), 0;
    if (options.version) return std::fputs(idleVersionText().c_str(), stdout), 0;

    const std::string program = ownProgram(argv[0]);
    if (options.autostart) return autostart(options, program);
    if (options.status) {
        int qtArgc = 1;
        char* qtArgv[] = {argv[0], nullptr};
        QCoreApplication application(qtArgc, qtArgv);
        return status();
    }

    const auto saver =
        findSaverProgram(std::filesystem::path(program).parent_path().string(),
                         [](const std::string& path) { return ::access(path.c_str(), X_OK) == 0; });
    if (!saver) {
        const auto places = saverCandidates(std::filesystem::path(program).parent_path().string());
        logError("Mirevo.scr is neither at " + places[0] + " nor at " + places[1]);
        return 1;
    }

    // A locker that writes after its pipe has gone gets an error, not its death (it inherits this).
    std::signal(SIGPIPE, SIG_IGN);
    // Qt reads options such as -platform from its arguments; ours are parsed above.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication application(qtArgc, qtArgv);
    return watch(options, *saver);
}
