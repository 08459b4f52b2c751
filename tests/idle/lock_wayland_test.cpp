// Locking in a Wayland session: a headless sway (run as an unprivileged user) with the real swaylock as the
// locker, two outputs of different sizes and colours; and a real headless GNOME Shell where it runs.
#include <csignal>
#include <sstream>
#include <thread>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include "tests/harness/child_process.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/headless_sway.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/idle/process_scan.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Env = std::map<std::string, std::optional<std::string>>;

const std::array<uint8_t, 3> kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlack{0, 0, 0}, kWhite{255, 255, 255};

// What the top corners of the two outputs (800 x 600 red at 0,0; 640 x 480 green at 800,0) show.
enum class Shown { Desktop, Floor, Lock, Other };

Shown shown(const Image& shot) {
    const auto left = shot.at(10, 10), right = shot.at(810, 10);
    if (colourDistance(left, kRed) < 8 || colourDistance(right, kGreen) < 8) return Shown::Desktop;
    if (colourDistance(left, kWhite) < 8 && colourDistance(right, kWhite) < 8) return Shown::Lock;
    if (colourDistance(left, kBlack) < 8 && colourDistance(right, kBlack) < 8) return Shown::Floor;
    return Shown::Other;
}

// The floor itself is up (not the black of its loading): the desktop's colours below the black space.
bool floorUp(const Image& shot) {
    if (shown(shot) != Shown::Floor) return false;
    int red = 0, green = 0;
    for (int y = 300; y < 600; y += 10)
        for (int x = 0; x < 1440; x += 20) {
            red += colourDistance(shot.at(x, y), kRed) < 40;
            green += colourDistance(shot.at(x, y), kGreen) < 40;
        }
    return red > 10 && green > 10;
}

class LockOnSway : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (HeadlessSway::unavailableReason().empty() && access("/usr/bin/swaylock", X_OK) == 0)
            sway = new HeadlessSway();
    }
    static void TearDownTestSuite() {
        delete sway;
        sway = nullptr;
    }
    void SetUp() override {
        if (const std::string why = HeadlessSway::unavailableReason(); !why.empty()) GTEST_SKIP() << why;
        if (access("/usr/bin/swaylock", X_OK) != 0)
            GTEST_SKIP() << "swaylock is not installed (apt-get install swaylock)";
        ASSERT_TRUE(sway && sway->ok()) << (sway ? sway->log() : "");
        ASSERT_TRUE(bus.ok());
    }
    void TearDown() override {
        // swaylock holds the session's input until it is unlocked: this test's ends with it.
        for (pid_t pid : swaylocks())
            kill(pid, SIGTERM);
        EXPECT_TRUE(pollUntil(10s, [&] { return swaylocks().empty() && saverProcesses().empty(); }));
    }
    Env environment() {
        Env env = sway->clientEnvironment(runtime.path());
        env["HOME"] = runtime / "home";
        env["DBUS_SESSION_BUS_ADDRESS"] = bus.address();
        env["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + runtime / "no-system-bus";
        return env;
    }
    std::unique_ptr<ChildProcess> startIdle(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{builtProgram("mirevo-idle")};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        auto idle = std::make_unique<ChildProcess>(argv, environment());
        EXPECT_TRUE(pollUntil(20s, [&] {
            return idle->output().find("without input") != std::string::npos || !idle->running();
        })) << idle->errors();
        return idle;
    }
    std::vector<pid_t> ours(const std::vector<pid_t>& pids) {
        std::vector<pid_t> found;
        const std::string socket = "WAYLAND_DISPLAY=" + sway->socket() + '\0';
        for (pid_t pid : pids)
            if (procFile("/proc/" + std::to_string(pid) + "/environ").find(socket) != std::string::npos)
                found.push_back(pid);
        return found;
    }
    std::vector<pid_t> swaylocks() { return ours(processesRunning("/usr/bin/swaylock")); }
    std::vector<pid_t> saverProcesses() {
        auto found = ours(processesRunning(builtProgram("Mirevo.scr")));
        for (pid_t pid : ours(processesRunning(builtProgram("Mirevo.dll"))))
            found.push_back(pid);
        return found;
    }
    bool waitForFloor() {
        return pollUntil(40s, [&] {
            const auto shot = sway->screenshot();
            return shot && floorUp(*shot);
        });
    }
    // Escape, pressed again while nothing answers it (a virtual keyboard's first key may be lost); the
    // screenshots taken meanwhile, as fast as grim allows, until done says what the test waits for.
    std::vector<Shown> escapeUntil(const std::function<bool(Shown)>& done, std::chrono::seconds limit = 20s) {
        std::vector<Shown> seen;
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            std::thread press([&] { sway->pressKey("Escape"); });
            bool finished = false;
            const auto retry = Clock::now() + 6s;
            while (!finished && Clock::now() < retry && Clock::now() < end) {
                const auto shot = sway->screenshot();
                if (!shot) continue;
                seen.push_back(shown(*shot));
                finished = done(seen.back());
            }
            press.join();
            if (finished || seen.empty() || seen.back() != Shown::Floor) break;
        }
        return seen;
    }
    std::string status() {
        ChildProcess asked({builtProgram("mirevo-idle"), "--status"}, environment());
        EXPECT_EQ(asked.waitExit(15s), std::optional<int>(0)) << asked.errors();
        return asked.output();
    }

    static HeadlessSway* sway;
    TempDir runtime;
    DBusSession bus{{}, DBusSession::Activation::Off};
};

HeadlessSway* LockOnSway::sway = nullptr;

// Past the grace time the key ends in swaylock's white on both outputs, and no screenshot between the key and
// the lock shows the desktop; the saver's processes are gone, and none starts again under the lock.
TEST_F(LockOnSway, PastTheGraceTimeEscapeEndsInSwaylockWithNoFrameOfTheDesktop) {
    auto idle = startIdle({"--idle-seconds", "2", "--lock-after", "0"});
    EXPECT_NE(idle->output().find("locks the screen after every run of the floor, by swaylock -f"),
              std::string::npos)
        << idle->output() << idle->errors();
    ASSERT_TRUE(waitForFloor()) << idle->errors();
    const auto seen = escapeUntil([](Shown s) { return s == Shown::Lock; });
    std::string trace;
    for (Shown s : seen)
        trace += "DFLO"[int(s)];
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), Shown::Lock) << trace << "\n" << idle->errors();
    EXPECT_EQ(trace.find('D'), std::string::npos)
        << "D: the desktop, F: the floor, L: the lock, O: other: " << trace;
    EXPECT_TRUE(pollUntil(10s, [&] { return saverProcesses().empty(); }));
    EXPECT_FALSE(pollUntil(3500ms, [&] { return !saverProcesses().empty(); }))
        << "a saver started under the lock";
    const std::string text = status();
    EXPECT_NE(text.find("locking: on, after every run of the floor, by swaylock -f\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("for the key that ended the screen saver: on screen\n"), std::string::npos) << text;
    EXPECT_NE(text.find("before sleep: not locked: no logind"), std::string::npos) << text;
    RecordProperty("screenshots_between_key_and_lock", int(seen.size()));
}

// Within the grace time the key just ends the floor: the desktop again, and no swaylock.
TEST_F(LockOnSway, WithinTheGraceTimeEscapeBringsTheDesktopBackUnlocked) {
    auto idle = startIdle({"--idle-seconds", "2", "--lock-after", "600"});
    ASSERT_TRUE(waitForFloor()) << idle->errors();
    const auto seen = escapeUntil([](Shown s) { return s == Shown::Desktop; });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), Shown::Desktop) << idle->errors();
    EXPECT_TRUE(swaylocks().empty());
    EXPECT_NE(status().find("locking: on, after 10 minutes of the floor, by swaylock -f\n"),
              std::string::npos);
    kill(idle->pid(), SIGTERM);
    EXPECT_EQ(idle->waitExit(10s), std::optional<int>(0));
    EXPECT_TRUE(swaylocks().empty());
}

// A saver that dies past the grace time by anything but the key (here a kill) is followed by the lock at
// once.
TEST_F(LockOnSway, ASaverKilledPastTheGraceTimeIsFollowedByTheLock) {
    auto idle = startIdle({"--idle-seconds", "2", "--lock-after", "0"});
    ASSERT_TRUE(waitForFloor()) << idle->errors();
    for (pid_t pid : ours(processesRunning(builtProgram("Mirevo.scr"))))
        kill(pid, SIGKILL);
    EXPECT_TRUE(pollUntil(10s, [&] {
        const auto shot = sway->screenshot();
        return shot && shown(*shot) == Shown::Lock;
    })) << idle->errors();
    EXPECT_NE(idle->errors().find("mirevo-idle: the screen saver ended without the user's key after "),
              std::string::npos)
        << idle->errors();
}

// xdg-screensaver lock: org.freedesktop.ScreenSaver.Lock on mirevo-idle's own service, with no floor up.
TEST_F(LockOnSway, TheScreenSaverServicesLockLocksWithNoFloor) {
    auto idle = startIdle({"--idle-seconds", "3600", "--lock-after", "60"});
    ChildProcess lock({"/usr/bin/dbus-send", "--bus=" + bus.address(), "--print-reply",
                       "--dest=org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                       "org.freedesktop.ScreenSaver.Lock"});
    EXPECT_EQ(lock.waitExit(10s), std::optional<int>(0)) << lock.errors();
    EXPECT_TRUE(pollUntil(10s, [&] {
        const auto shot = sway->screenshot();
        return shot && shown(*shot) == Shown::Lock;
    })) << idle->errors();
    EXPECT_NE(status().find("for a request to org.freedesktop.ScreenSaver.Lock: on screen\n"),
              std::string::npos);
}

// A locker that dies while the screen is locked: with swaylock's layer-shell fallback (sway 1.7) the desktop
// shows again, as that protocol has it. Mirevo does not start the locker again on its own, and the next
// request locks as the first did (nothing is left thinking the screen is still locked).
TEST_F(LockOnSway, ALockerKilledWhileLockedIsNotRestartedAndTheNextRequestLocksAgain) {
    auto idle = startIdle({"--idle-seconds", "3600", "--lock-after", "60"});
    const auto requestLock = [&] {
        ChildProcess lock({"/usr/bin/dbus-send", "--bus=" + bus.address(), "--print-reply",
                           "--dest=org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                           "org.freedesktop.ScreenSaver.Lock"});
        EXPECT_EQ(lock.waitExit(10s), std::optional<int>(0)) << lock.errors();
    };
    const auto showing = [&](Shown what) {
        return pollUntil(15s, [&] {
            const auto shot = sway->screenshot();
            return shot && shown(*shot) == what;
        });
    };
    requestLock();
    ASSERT_TRUE(showing(Shown::Lock)) << idle->errors();
    for (pid_t pid : swaylocks())
        kill(pid, SIGKILL);
    ASSERT_TRUE(showing(Shown::Desktop)) << idle->errors();
    EXPECT_TRUE(swaylocks().empty());
    EXPECT_TRUE(idle->running()) << idle->errors();
    requestLock();
    EXPECT_TRUE(showing(Shown::Lock)) << idle->errors();
    // One locker: one swaylock in a session of its own (beside it, in the command's group, its password
    // checker).
    const auto lockers = [&] {
        size_t n = 0;
        for (pid_t pid : swaylocks()) {
            const std::string stat = procFile("/proc/" + std::to_string(pid) + "/stat");
            int session = 0;
            const size_t afterName = stat.rfind(')');
            if (afterName != std::string::npos &&
                std::sscanf(stat.c_str() + afterName + 1, " %*c %*d %*d %d", &session) == 1)
                n += session == pid;
        }
        return n;
    };
    EXPECT_EQ(lockers(), 1u);
}

// A real GNOME Shell 43, headless, as the user nobody: its own session bus (no activation: no portal asks a
// question), a private system bus with stand-ins for logind and GDM (the shell offers its lock screen only
// where both are), /run hidden in a mount namespace of its own with the sign of systemd the shell looks for.
// The test gives its keys through the shell's remote-desktop service.
class LockOnGnomeShell : public ::testing::Test {
protected:
    LockOnGnomeShell() {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("lock_wayland_test"), nullptr};
        static QCoreApplication application(argc, argv);
    }
    ~LockOnGnomeShell() override {
        keys.reset();
        QDBusConnection::disconnectFromBus("gnome");
        if (shell) kill(-shell->pid(), SIGTERM);
    }
    void SetUp() override {
        const passwd* nobody = getpwnam("nobody");
        for (const char* program :
             {"/usr/bin/gnome-shell", "/usr/bin/unshare", "/usr/bin/setpriv", "/usr/bin/dbus-run-session"})
            if (access(program, X_OK) != 0)
                GTEST_SKIP() << program << " is not installed (apt-get install gnome-shell)";
        if (geteuid() != 0 || !nobody) GTEST_SKIP() << "needs root (a mount namespace) and a user nobody";
        const std::string uid = std::to_string(nobody->pw_uid), gid = std::to_string(nobody->pw_gid);
        chmod(folder.path().c_str(), 0755);
        ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
        ASSERT_EQ(chown(home.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        const std::string open =
            "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/><allow user=\"*\"/></policy>"
            "<auth>EXTERNAL</auth>";
        ASSERT_TRUE(writeFile(folder / "system.conf",
                              "<busconfig><type>system</type><listen>unix:path=" + folder / "system" +
                                  "</listen>" + open + "</busconfig>\n"));
        ASSERT_TRUE(writeFile(folder / "session.conf",
                              "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen>" + open +
                                  "</busconfig>\n"));
        system = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/dbus-daemon", "--config-file=" + folder / "system.conf",
                                     "--nofork", "--print-address"});
        ASSERT_TRUE(pollUntil(10s, [&] { return system->output().find('\n') != std::string::npos; }));
        systemBus = "unix:path=" + folder / "system";
        services = std::make_unique<ChildProcess>(
            std::vector<std::string>{MIREVO_FAKE_LOCK_SERVICES, "--logind", "--gdm"},
            Env{{"DBUS_SYSTEM_BUS_ADDRESS", systemBus}});
        ASSERT_TRUE(pollUntil(10s, [&] { return services->output().find("ready\n") != std::string::npos; }));
        ASSERT_TRUE(writeFile(folder / "shell.sh",
                              "#!/bin/sh\necho \"$DBUS_SESSION_BUS_ADDRESS\" > \"$HOME/bus\"\n"
                              "exec gnome-shell --headless --wayland --no-x11 --virtual-monitor "
                              "1280x720\n"));
        chmod((folder / "shell.sh").c_str(), 0755);
        shell = std::make_unique<ChildProcess>(std::vector<std::string>{
            "/usr/bin/setsid", "/usr/bin/unshare", "-m", "/bin/sh", "-c",
            "mount -t tmpfs none /run && mkdir -p /run/systemd/seats && exec setpriv --reuid=" + uid +
                " --regid=" + gid + " --clear-groups env -i PATH=/usr/bin:/bin HOME=" + home +
                " XDG_RUNTIME_DIR=" + home +
                " XDG_SESSION_ID=1 XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME "
                "DBUS_SYSTEM_BUS_ADDRESS=" +
                systemBus + " dbus-run-session --config-file=" + folder / "session.conf" + " -- " +
                folder / "shell.sh"});
        ASSERT_TRUE(pollUntil(30s, [&] {
            return readFile(home + "/bus").find('\n') != std::string::npos || !shell->running();
        })) << shell->errors();
        sessionBus = readFile(home + "/bus");
        sessionBus.pop_back();
        keys = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(sessionBus), "gnome"));
        // Each name this test calls, there some time after the shell starts.
        const bool up = pollUntil(60s,
                                  [&] {
                                      if (!shell->running() || !keys->isConnected()) return true;
                                      for (const char* name :
                                           {"org.gnome.Shell.ScreenShield", "org.gnome.Mutter.RemoteDesktop",
                                            "org.gnome.Mutter.IdleMonitor"})
                                          if (!keys->interface()->isServiceRegistered(name).value())
                                              return false;
                                      return true;
                                  }) &&
                        shell->running() && keys->isConnected();
        if (!up) GTEST_SKIP() << "GNOME Shell did not come up here: " << shell->errors().substr(0, 2000);
        const QDBusReply<QDBusObjectPath> created = keys->call(QDBusMessage::createMethodCall(
            "org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
            "org.gnome.Mutter.RemoteDesktop", "CreateSession"));
        ASSERT_TRUE(created.isValid()) << created.error().message().toStdString();
        session = created.value().path();
        ASSERT_EQ(sessionCall("Start", {}).type(), QDBusMessage::ReplyMessage);
        press(0xffe1); // the first key of a new session is lost: a Shift
        // The shell begins in its overview, which a key leaves.
        ASSERT_TRUE(pollUntil(20s, [&] {
            if (!overviewActive()) return true;
            press(0xff1b);
            return pollUntil(2s, [&] { return !overviewActive(); });
        }));
    }
    bool overviewActive() {
        auto get = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                  "org.freedesktop.DBus.Properties", "Get");
        get.setArguments({QStringLiteral("org.gnome.Shell"), QStringLiteral("OverviewActive")});
        const QDBusReply<QDBusVariant> reply = keys->call(get);
        return !reply.isValid() || reply.value().variant().toBool();
    }
    QDBusMessage sessionCall(const char* method, QVariantList arguments) {
        auto message = QDBusMessage::createMethodCall("org.gnome.Mutter.RemoteDesktop", session,
                                                      "org.gnome.Mutter.RemoteDesktop.Session", method);
        message.setArguments(arguments);
        return keys->call(message);
    }
    void press(uint keysym) {
        sessionCall("NotifyKeyboardKeysym", {keysym, true});
        sessionCall("NotifyKeyboardKeysym", {keysym, false});
    }
    bool shieldActive() {
        const QDBusReply<bool> active = keys->call(QDBusMessage::createMethodCall(
            "org.gnome.Shell.ScreenShield", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "GetActive"));
        return active.isValid() && active.value();
    }

    TempDir folder;
    const std::string home = folder / "home";
    std::string systemBus, sessionBus;
    std::unique_ptr<ChildProcess> system, services, shell;
    std::unique_ptr<QDBusConnection> keys;
    QString session;
};

// Past the grace time the key ends in GNOME Shell's lock screen: Lock on its shield, whose GetActive says
// when it is up; the floor ends only then, and the shell tells logind the session is locked.
TEST_F(LockOnGnomeShell, EscapeEndsInTheShellsLockScreenAndTheFloorEndsOnlyOnceItIsUp) {
    TempDir runtime;
    const Env env{{"WAYLAND_DISPLAY", home + "/wayland-0"},
                  {"DISPLAY", std::nullopt},
                  {"XDG_RUNTIME_DIR", runtime.path()},
                  {"HOME", runtime / "home"},
                  {"XDG_CONFIG_HOME", runtime / "config"},
                  {"XDG_CACHE_HOME", runtime / "cache"},
                  {"DBUS_SESSION_BUS_ADDRESS", sessionBus},
                  {"DBUS_SYSTEM_BUS_ADDRESS", systemBus},
                  {"XDG_SESSION_ID", "1"},
                  {"MIREVO_PLATFORM", std::nullopt},
                  {"MIREVO_VIEWER_TRACE", "1"},
                  {"LIBGL_ALWAYS_SOFTWARE", "1"}};
    ChildProcess idle({builtProgram("mirevo-idle"), "--idle-seconds", "2", "--lock-after", "0"}, env);
    ASSERT_TRUE(pollUntil(20s, [&] {
        return idle.output().find("without input") != std::string::npos || !idle.running();
    })) << idle.errors();
    EXPECT_NE(idle.output().find("by GNOME Shell (org.gnome.ScreenSaver)"), std::string::npos)
        << idle.output();
    EXPECT_NE(services->output().find("inhibited sleep delay"), std::string::npos) << services->output();
    ASSERT_TRUE(pollUntil(60s, [&] {
        return idle.errors().find("mirevo-trace first-frame") != std::string::npos;
    })) << idle.errors();
    ASSERT_FALSE(shieldActive());
    // The shell may leave a window that came without a launch token unfocused: a click gives it the keys; and
    // the first key a client is given may be lost: a Shift first, and Escape again while nothing answers it.
    sessionCall("NotifyPointerMotionRelative", {1.0, 1.0});
    sessionCall("NotifyPointerButton", {0x110, true});
    sessionCall("NotifyPointerButton", {0x110, false});
    press(0xffe1);
    std::optional<Clock::time_point> shielded, floorGone;
    const auto look = [&] {
        if (!floorGone && idle.errors().find("mirevo-trace frames") != std::string::npos)
            floorGone = Clock::now();
        if (!shielded && shieldActive()) shielded = Clock::now();
        return shielded && floorGone;
    };
    auto pressed = Clock::now();
    pollUntil(30s, [&] {
        pressed = Clock::now();
        press(0xff1b); // Escape
        return pollUntil(3s, [&] { return look() || shielded || floorGone; });
    });
    pollUntil(20s, look);
    ASSERT_TRUE(shielded) << idle.errors();
    ASSERT_TRUE(floorGone) << idle.errors();
    EXPECT_LE(*shielded, *floorGone) << "the floor ended before the shell's lock screen was up";
    EXPECT_LT(*floorGone - pressed, 5s);
    EXPECT_TRUE(pollUntil(10s, [&] { return services->output().find("locked\n") != std::string::npos; }))
        << "the shell did not tell logind: " << services->output();
    kill(idle.pid(), SIGTERM);
    EXPECT_EQ(idle.waitExit(10s), std::optional<int>(0));
}

} // namespace
} // namespace mirevo::test
