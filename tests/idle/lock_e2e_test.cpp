// Locking on X11 (a private Xvfb): xscreensaver as the locker, logind (a stand-in on a private system bus)
// for sleep and its lock requests, and lock commands that fail, flood or hang. The real saver where a floor
// matters.
#include <csignal>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>
#include <pwd.h>

#include "tests/harness/child_process.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"
#include "tests/idle/process_scan.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Env = std::map<std::string, std::optional<std::string>>;

const std::array<uint8_t, 3> kDesktop{255, 0, 255};

// mirevo-idle's own lines (the saver's and the viewer's go to the same place).
std::string ownLines(const std::string& text) {
    std::string own;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("mirevo-idle: ", 0) == 0) own += line + "\n";
    return own;
}

size_t count(const std::string& text, const std::string& word) {
    size_t n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

class LockOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok() && client.ok());
        client.setRootPicture(makeImage(1024, 768, [](int, int) { return kDesktop; }));
    }
    Env environment(std::optional<std::string> sessionBus = std::nullopt,
                    std::optional<std::string> systemBus = std::nullopt) {
        return {{"DISPLAY", server.display()},
                {"WAYLAND_DISPLAY", std::nullopt},
                {"MIREVO_PLATFORM", std::nullopt},
                {"HOME", folder / "home"},
                {"XDG_CONFIG_HOME", folder / "config"},
                {"XDG_CACHE_HOME", folder / "cache"},
                {"XDG_RUNTIME_DIR", folder.path()},
                {"XDG_SESSION_ID", std::nullopt},
                {"DBUS_SESSION_BUS_ADDRESS", sessionBus},
                // No logind unless the test serves one.
                {"DBUS_SYSTEM_BUS_ADDRESS", systemBus.value_or("unix:path=" + folder / "no-system-bus")},
                {"LIBGL_ALWAYS_SOFTWARE", "1"}};
    }
    // The built mirevo-idle beside the real saver, its start lines said.
    std::unique_ptr<ChildProcess> startIdle(std::vector<std::string> arguments, const Env& env) {
        arguments.insert(arguments.begin(), builtProgram("mirevo-idle"));
        auto idle = std::make_unique<ChildProcess>(arguments, env);
        EXPECT_TRUE(pollUntil(20s, [&] {
            return idle->output().find("without input") != std::string::npos || !idle->running();
        })) << idle->errors();
        return idle;
    }
    // The saver's processes on this display.
    std::vector<pid_t> saverProcesses() {
        std::vector<pid_t> found;
        for (const char* program : {"Mirevo.scr", "Mirevo.dll"})
            for (pid_t pid : processesRunning(builtProgram(program)))
                if (procFile("/proc/" + std::to_string(pid) + "/environ")
                        .find("DISPLAY=" + server.display() + '\0') != std::string::npos)
                    found.push_back(pid);
        return found;
    }
    // Waits for the floor on screen (the viewer's window covers this screen): black space at the top, the
    // desktop's picture on the floor below it.
    bool floorShown() {
        return client.waitForWindow("Tovik_VC", 30s) != 0 && pollUntil(30s, [&] {
                   const auto shot = client.screenshot(client.root());
                   if (!shot || colourDistance(shot->at(4, 4), {0, 0, 0}) >= 8) return false;
                   for (int y = shot->height / 2; y < shot->height; y += 16)
                       for (int x = 0; x < shot->width; x += 16)
                           if (colourDistance(shot->at(x, y), kDesktop) < 40) return true;
                   return false;
               });
    }
    bool desktopShows() {
        const auto shot = client.screenshot(client.root());
        return shot && colourDistance(shot->at(4, 4), kDesktop) < 8;
    }
    Xvfb server{1024, 768}; // the viewer's window's size: it covers the screen
    XClient client{server.display()};
    TempDir folder;
};

// xscreensaver locks, and the floor is on screen until it has: no screenshot between the key and the lock
// shows the desktop; then every process of the saver is gone.
TEST_F(LockOnX11, EscapeEndsInXscreensaversLockWithNoFrameOfTheDesktop) {
    const passwd* nobody = getpwnam("nobody");
    if (access("/usr/bin/xscreensaver", X_OK) != 0 || !nobody)
        GTEST_SKIP() << "needs xscreensaver (apt-get install xscreensaver) and a user nobody";
    TempDir home;
    ASSERT_TRUE(writeFile(home / ".xscreensaver",
                          "mode:\tblank\ntimeout:\t0:30:00\nlock:\tFalse\nsplash:\tFalse\n"
                          "fade:\tFalse\nunfade:\tFalse\n"));
    ASSERT_EQ(chown(home.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chown((home / ".xscreensaver").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    std::vector<std::string> daemon{"/usr/bin/xscreensaver", "-no-splash"};
    // xscreensaver will not run as root.
    if (geteuid() == 0)
        daemon.insert(daemon.begin(), {"/usr/bin/setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
                                       "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"});
    ChildProcess xscreensaver(daemon, {{"DISPLAY", server.display()}, {"HOME", home.path()}});
    const Env env = environment();
    const auto xscreensaverSays = [&](const char* option) {
        ChildProcess command({"/usr/bin/xscreensaver-command", option}, env);
        return command.waitExit(10s) == 0 ? command.output() : std::string();
    };
    ASSERT_TRUE(pollUntil(30s, [&] { return !xscreensaverSays("-version").empty(); }))
        << xscreensaver.errors();

    auto idle = startIdle({"--idle-seconds", "1", "--lock-after", "0"}, env);
    EXPECT_NE(
        idle->output().find("mirevo-idle: locks the screen after every run of the floor, by xscreensaver"),
        std::string::npos)
        << idle->output() << idle->errors();
    ASSERT_TRUE(floorShown()) << idle->errors();
    client.sendKey("Escape");
    std::optional<Clock::time_point> locked, floorGone;
    int shots = 0, desktop = 0;
    pollUntil(20s, [&] {
        ++shots;
        desktop += desktopShows();
        if (!locked && xscreensaverSays("-time").find("locked") != std::string::npos) locked = Clock::now();
        if (!floorGone && !client.findWindow("Tovik_VC")) floorGone = Clock::now();
        return locked && floorGone;
    });
    ASSERT_TRUE(locked) << idle->errors() << xscreensaver.errors();
    ASSERT_TRUE(floorGone) << idle->errors();
    EXPECT_LE(*locked, *floorGone) << "the floor ended before xscreensaver said it had locked";
    EXPECT_EQ(desktop, 0) << "of " << shots << " screenshots between the key and the lock";
    EXPECT_TRUE(pollUntil(10s, [&] { return saverProcesses().empty(); }));
    xscreensaver.terminate();
    kill(idle->pid(), SIGTERM);
    EXPECT_EQ(idle->waitExit(10s), std::optional<int>(0)) << idle->errors();
}

// Each lock command that fails says so in one line and leaves nothing running; one that floods and never
// returns is given up at the bound, its whole process group ended, and the floor it held ends with it.
TEST_F(LockOnX11, ALockCommandThatFailsFloodsOrHangsIsOneLineAndLeavesNothingRunning) {
    DBusSession bus({}, DBusSession::Activation::Off);
    ASSERT_TRUE(bus.ok());
    const Env env = environment(bus.address());
    const std::pair<std::string, std::string> failing[] = {
        {"no-such-locker-7421", "exited with code 127: /bin/sh: 1: no-such-locker-7421: not found"},
        {"echo 'no seat'; echo more; exit 2", "exited with code 2: no seat"},
    };
    for (const auto& [command, words] : failing) {
        auto idle =
            startIdle({"--idle-seconds", "3600", "--lock-after", "0", "--lock-command", command}, env);
        ChildProcess lock({"/usr/bin/dbus-send", "--bus=" + bus.address(), "--print-reply",
                           "--dest=org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                           "org.freedesktop.ScreenSaver.Lock"},
                          env);
        EXPECT_EQ(lock.waitExit(10s), std::optional<int>(0)) << lock.errors();
        EXPECT_TRUE(pollUntil(
            10s, [&] { return idle->errors().find("the screen is not locked (") != std::string::npos; }))
            << command << ": " << idle->errors();
        const std::string errors = ownLines(idle->errors());
        EXPECT_EQ(count(errors, "\n"), 2u) << errors; // no logind, and the failure
        EXPECT_NE(errors.find("mirevo-idle: the screen is not locked (asked for by a request to "
                              "org.freedesktop.ScreenSaver.Lock): the lock command \"" +
                              command + "\" " + words),
                  std::string::npos)
            << errors;
    }

    auto idle = startIdle(
        {"--idle-seconds", "1", "--lock-after", "0", "--lock-command", "yes flood-7421 & sleep 7421"}, env);
    ASSERT_TRUE(floorShown()) << idle->errors();
    const auto key = Clock::now();
    client.sendKey("Escape");
    ASSERT_TRUE(pollUntil(3s, [&] { return !processesWithArgument("flood-7421").empty(); }));
    EXPECT_TRUE(client.findWindow("Tovik_VC")) << "the floor ended before the locker did anything";
    ASSERT_TRUE(client.waitForNoWindow("Tovik_VC", 15s));
    EXPECT_GE(Clock::now() - key, 4500ms);
    EXPECT_TRUE(pollUntil(5s, [&] {
        return processesWithArgument("flood-7421").empty() && processesWithArgument("7421").empty();
    })) << "the command's processes are still there";
    const std::string errors = ownLines(idle->errors());
    EXPECT_EQ(count(errors, "\n"), 2u) << errors;
    EXPECT_NE(
        errors.find("the screen is not locked (asked for by the key that ended the screen saver): the locker "
                    "did not say within 5 s that it covers the screen"),
        std::string::npos)
        << errors;
    EXPECT_TRUE(pollUntil(10s, [&] { return saverProcesses().empty(); }));
    EXPECT_TRUE(desktopShows());
}

// logind (a stand-in on a private system bus): sleep waits for the lock, PrepareForSleep twice is one lock,
// the inhibitor comes back on waking, the session's Lock signal locks, and logind leaving is one line.
TEST_F(LockOnX11, LogindsSleepWaitsForTheLockAndItsLockSignalLocks) {
    DBusSession system({}, DBusSession::Activation::Off);
    ASSERT_TRUE(system.ok());
    ChildProcess logind({MIREVO_FAKE_LOCK_SERVICES, "--logind"},
                        {{"DBUS_SYSTEM_BUS_ADDRESS", system.address()}});
    ASSERT_TRUE(pollUntil(10s, [&] { return logind.output().find("ready\n") != std::string::npos; }))
        << logind.errors();
    const auto tell = [&](const std::string& method, std::vector<std::string> arguments = {}) {
        std::vector<std::string> argv{"/usr/bin/dbus-send",     "--bus=" + system.address(),
                                      "--print-reply",          "--dest=org.freedesktop.login1",
                                      "/io/github/mirevo/test", "io.github.mirevo.test.Logind." + method};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ChildProcess send(argv);
        EXPECT_EQ(send.waitExit(10s), std::optional<int>(0)) << send.errors();
    };
    const std::string locks = folder / "locks";
    auto idle = startIdle({"--idle-seconds", "3600", "--lock-after", "0", "--lock-command",
                           "sleep 0.5; echo locked >> " + locks},
                          environment(std::nullopt, system.address()));
    EXPECT_EQ(idle->errors().find("logind"), std::string::npos) << idle->errors();
    ASSERT_TRUE(pollUntil(10s, [&] { return count(logind.output(), "inhibited sleep delay") == 1; }))
        << logind.output();

    tell("PrepareForSleep", {"boolean:true"});
    tell("PrepareForSleep", {"boolean:true"});
    bool lockedFirst = false;
    ASSERT_TRUE(pollUntil(10s,
                          [&] {
                              lockedFirst = readFile(locks) == "locked\n";
                              return logind.output().find("released") != std::string::npos;
                          }))
        << logind.output() << idle->errors();
    EXPECT_TRUE(lockedFirst) << "the inhibitor was given back before the lock was on screen";
    tell("PrepareForSleep", {"boolean:false"});
    EXPECT_TRUE(pollUntil(10s, [&] { return count(logind.output(), "inhibited sleep delay") == 2; }))
        << logind.output();
    EXPECT_EQ(readFile(locks), "locked\n") << "two PrepareForSleep(true) locked twice";

    tell("Lock");
    EXPECT_TRUE(pollUntil(10s, [&] { return readFile(locks) == "locked\nlocked\n"; })) << idle->errors();

    const size_t before = idle->errors().size();
    logind.terminate();
    EXPECT_TRUE(pollUntil(10s, [&] { return idle->errors().size() > before; }));
    EXPECT_EQ(idle->errors().substr(before), "mirevo-idle: logind has left the system bus; until it is back, "
                                             "the screen is not locked before sleep "
                                             "and its lock requests are not heard\n");
    EXPECT_TRUE(idle->running());
}

// A logind that answers Inhibit only after mirevo-idle's deadline: one line, the rest works (its Lock signal
// locks), and the inhibitor that came late is given back, not kept.
TEST_F(LockOnX11, ASlowLogindIsOneLineAndTheRestWorks) {
    DBusSession system({}, DBusSession::Activation::Off);
    ASSERT_TRUE(system.ok());
    ChildProcess logind({MIREVO_FAKE_LOCK_SERVICES, "--logind", "--slow-ms=4000"},
                        {{"DBUS_SYSTEM_BUS_ADDRESS", system.address()}});
    ASSERT_TRUE(pollUntil(10s, [&] { return logind.output().find("ready\n") != std::string::npos; }))
        << logind.errors();
    const std::string locks = folder / "locks";
    auto idle = startIdle({"--idle-seconds", "3600", "--lock-after", "0", "--lock-command",
                           "echo locked >> " + locks},
                          environment(std::nullopt, system.address()));
    ASSERT_TRUE(pollUntil(20s, [&] { return idle->errors().find("logind") != std::string::npos; }));
    EXPECT_NE(idle->errors().find("mirevo-idle: logind gave no sleep inhibitor (logind did not answer within 2 "
                                  "seconds); the system may sleep before the screen is locked\n"),
              std::string::npos)
        << idle->errors();
    EXPECT_EQ(count(idle->errors(), "logind"), 2u) << "one line: " << idle->errors();
    ChildProcess signal({"/usr/bin/dbus-send", "--bus=" + system.address(), "--print-reply",
                         "--dest=org.freedesktop.login1", "/io/github/mirevo/test",
                         "io.github.mirevo.test.Logind.Lock"});
    EXPECT_EQ(signal.waitExit(10s), std::optional<int>(0));
    EXPECT_TRUE(pollUntil(10s, [&] { return readFile(locks) == "locked\n"; })) << idle->errors();
    EXPECT_TRUE(pollUntil(10s, [&] { return logind.output().find("released") != std::string::npos; }))
        << "the inhibitor that came late is still held: " << logind.output();
    EXPECT_TRUE(idle->running());
}

// Without a locker of its own the desktop has logind's: LockSession, and the session's LockedHint says when
// its locker has covered the screen. logind's own Lock signal is not answered by another LockSession.
TEST_F(LockOnX11, LogindsLockSessionWhereTheDesktopHasNoOtherLocker) {
    DBusSession system({}, DBusSession::Activation::Off), session({}, DBusSession::Activation::Off);
    ASSERT_TRUE(system.ok() && session.ok());
    ChildProcess logind({MIREVO_FAKE_LOCK_SERVICES, "--logind", "--locker-ms=100"},
                        {{"DBUS_SYSTEM_BUS_ADDRESS", system.address()}});
    ASSERT_TRUE(pollUntil(10s, [&] { return logind.output().find("ready\n") != std::string::npos; }))
        << logind.errors();
    const Env env = environment(session.address(), system.address());
    auto idle = startIdle({"--idle-seconds", "3600", "--lock-after", "30"}, env);
    EXPECT_NE(idle->output().find("locks the screen after 30 seconds of the floor, by logind (LockSession"),
              std::string::npos)
        << idle->output();
    ChildProcess lock({"/usr/bin/dbus-send", "--bus=" + session.address(), "--print-reply",
                       "--dest=org.freedesktop.ScreenSaver", "/ScreenSaver",
                       "org.freedesktop.ScreenSaver.Lock"},
                      env);
    EXPECT_EQ(lock.waitExit(10s), std::optional<int>(0)) << lock.errors();
    EXPECT_TRUE(pollUntil(10s, [&] {
        return logind.output().find("lock-session\nlocked\n") != std::string::npos;
    })) << logind.output();
    EXPECT_TRUE(pollUntil(10s, [&] {
        ChildProcess status({builtProgram("mirevo-idle"), "--status"}, env);
        return status.waitExit(10s) == 0 &&
               status.output().find("for a request to org.freedesktop.ScreenSaver.Lock: "
                                    "on screen\n") != std::string::npos;
    }));
    ChildProcess signal({"/usr/bin/dbus-send", "--bus=" + system.address(), "--print-reply",
                         "--dest=org.freedesktop.login1", "/io/github/mirevo/test",
                         "io.github.mirevo.test.Logind.Lock"});
    EXPECT_EQ(signal.waitExit(10s), std::optional<int>(0));
    EXPECT_TRUE(pollUntil(10s, [&] { return count(logind.output(), "locked\n") == 2; })) << logind.output();
    EXPECT_EQ(count(logind.output(), "lock-session"), 1u)
        << "logind's own Lock was answered with LockSession";
    EXPECT_EQ(idle->errors(), "");
}

// KDE Plasma's screen locker (a stand-in: it runs only inside a Plasma session) owns
// org.freedesktop.ScreenSaver: its Lock, and GetActive says when the lock is up; a refusal is one line.
TEST_F(LockOnX11, KdesScreenLockerIsCalledWhereItOwnsTheScreenSaverService) {
    DBusSession system({}, DBusSession::Activation::Off), session({}, DBusSession::Activation::Off);
    ASSERT_TRUE(system.ok() && session.ok());
    ChildProcess logind({MIREVO_FAKE_LOCK_SERVICES, "--logind"},
                        {{"DBUS_SYSTEM_BUS_ADDRESS", system.address()}});
    auto kde = std::make_unique<ChildProcess>(std::vector<std::string>{MIREVO_FAKE_LOCK_SERVICES, "--kde"},
                                              Env{{"DBUS_SESSION_BUS_ADDRESS", session.address()}});
    ASSERT_TRUE(pollUntil(10s, [&] { return logind.output() == "ready\n" && kde->output() == "ready\n"; }));
    const Env env = environment(session.address(), system.address());
    auto idle = startIdle({"--idle-seconds", "3600", "--lock-after", "0"}, env);
    EXPECT_NE(
        idle->output().find("by the desktop's screen locker (org.freedesktop.ScreenSaver, as KDE Plasma"),
        std::string::npos)
        << idle->output() << idle->errors();
    const auto sessionLock = [&] {
        ChildProcess signal({"/usr/bin/dbus-send", "--bus=" + system.address(), "--print-reply",
                             "--dest=org.freedesktop.login1", "/io/github/mirevo/test",
                             "io.github.mirevo.test.Logind.Lock"});
        EXPECT_EQ(signal.waitExit(10s), std::optional<int>(0));
    };
    sessionLock();
    EXPECT_TRUE(pollUntil(10s, [&] {
        ChildProcess status({builtProgram("mirevo-idle"), "--status"}, env);
        return status.waitExit(10s) == 0 &&
               status.output().find("for logind's request to lock the session: on screen\n") !=
                   std::string::npos;
    }));
    EXPECT_EQ(count(kde->output(), "kde-lock"), 1u);

    kde = std::make_unique<ChildProcess>(std::vector<std::string>{MIREVO_FAKE_LOCK_SERVICES, "--kde=refuse"},
                                         Env{{"DBUS_SESSION_BUS_ADDRESS", session.address()}});
    ASSERT_TRUE(pollUntil(10s, [&] { return kde->output() == "ready\n"; }));
    sessionLock();
    EXPECT_TRUE(pollUntil(
        10s, [&] { return idle->errors().find("the screen is not locked (") != std::string::npos; }));
    EXPECT_NE(ownLines(idle->errors())
                  .find("mirevo-idle: the screen is not locked (asked for by logind's request to lock the "
                        "session): the "
                        "desktop's screen locker refused to lock: locking is disabled\n"),
              std::string::npos)
        << idle->errors();
}

} // namespace
} // namespace mirevo::test
