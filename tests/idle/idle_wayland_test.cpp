// mirevo-idle in a Wayland session: on a headless sway (KDE's idle protocol, its idle inhibitors, a virtual
// keyboard), and on a bare compositor of our own for what sway 1.7 cannot show: ext-idle-notify-v1, and GNOME's
// idle monitor on the bus (a stand-in) where the compositor offers no idle protocol. No DISPLAY anywhere.
#include <csignal>
#include <filesystem>
#include <sstream>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/harness/child_process.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/headless_desktops.h"
#include "tests/harness/headless_sway.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/wayland_inhibiting_window.h"
#include "tests/harness/xvfb.h"
#include "tests/idle/stand_in_starts.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Env = std::map<std::string, std::optional<std::string>>;

class IdleInWayland : public ::testing::Test {
protected:
    IdleInWayland() {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("idle_wayland_test"), nullptr};
        static QCoreApplication application(argc, argv);
    }
    ~IdleInWayland() override { QDBusConnection::disconnectFromBus("player"); }
    void SetUp() override {
        std::filesystem::create_directories(folder / "bin");
        ASSERT_TRUE(std::filesystem::copy_file(builtProgram("mirevo-idle"), program));
        ASSERT_TRUE(std::filesystem::copy_file(MIREVO_STAND_IN, folder / "bin/Mirevo.scr"));
    }
    Env environment(const std::string& socket, std::optional<std::string> bus = std::nullopt) {
        return {{"WAYLAND_DISPLAY", socket},
                {"DISPLAY", std::nullopt},
                {"MIREVO_PLATFORM", std::nullopt},
                {"HOME", folder / "home"},
                {"XDG_CONFIG_HOME", folder / "config"},
                {"XDG_CACHE_HOME", folder / "cache"},
                {"XDG_RUNTIME_DIR", folder.path()},
                {"DBUS_SESSION_BUS_ADDRESS", bus},
                {"MIREVO_STAND_IN_LOG", log}};
    }
    // Started with a short idle time, its timeout line printed.
    std::unique_ptr<ChildProcess> startIdle(int seconds, const Env& env) {
        auto idle = std::make_unique<ChildProcess>(
            std::vector<std::string>{program, "--idle-seconds", std::to_string(seconds)}, env);
        EXPECT_TRUE(pollUntil(20s, [&] { return idle->output().find("without input") != std::string::npos || !idle->running(); }))
            << idle->errors();
        return idle;
    }
    // When the stand-in next started, if before the deadline.
    std::optional<Clock::time_point> nextStart(std::chrono::milliseconds deadline) {
        return nextStandInStart(log, seen_, deadline);
    }
    std::string status(const Env& env) {
        ChildProcess asked({program, "--status"}, env);
        EXPECT_EQ(asked.waitExit(15s), std::optional<int>(0)) << asked.errors();
        return asked.output();
    }
    // A player on the bus that holds the screen saver off; its cookie.
    uint inhibit(const DBusSession& bus) {
        player = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(bus.address()), "player"));
        return QDBusReply<uint>(screenSaverCall("Inhibit", {"mpv", "Playing video"})).value();
    }
    QDBusMessage screenSaverCall(const char* method, QVariantList arguments) {
        auto message = QDBusMessage::createMethodCall("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                                                      "org.freedesktop.ScreenSaver", method);
        message.setArguments(arguments);
        return player->call(message);
    }

    TempDir folder;
    const std::string program = folder / "bin/mirevo-idle", log = folder / "starts.log";
    std::unique_ptr<QDBusConnection> player;
    size_t seen_ = 0;
};

class IdleOnSway : public IdleInWayland {
protected:
    void SetUp() override {
        if (const std::string why = HeadlessSway::unavailableReason(); !why.empty()) GTEST_SKIP() << why;
        IdleInWayland::SetUp();
        sway = std::make_unique<HeadlessSway>();
        ASSERT_TRUE(sway->ok()) << sway->log();
    }
    // Taken before the compositor sees the key, so the time to the start is never shorter than it was.
    Clock::time_point userInput() {
        const auto now = Clock::now();
        EXPECT_TRUE(sway->pressKey("a"));
        return now;
    }
    std::unique_ptr<HeadlessSway> sway;
};

TEST_F(IdleOnSway, SessionStartsAfterTheIdleTimeAndNotBeforeAndInputStartsTheWaitAgain) {
    auto idle = startIdle(3, environment(sway->socket()));
    EXPECT_NE(idle->output().find("after 3 seconds without input (set by --idle-seconds)"), std::string::npos)
        << idle->output();
    auto input = userInput();
    auto started = nextStart(15s);
    ASSERT_TRUE(started) << idle->errors();
    EXPECT_GE(*started - input, 3000ms);
    EXPECT_LT(*started - input, 6000ms);
    EXPECT_EQ(readFile(log).substr(readFile(log).find(' ')), " /s\n");

    // A key now and then, each within the idle time of the one before: no session.
    for (int i = 0; i < 4; ++i) {
        input = userInput();
        EXPECT_FALSE(nextStart(1500ms)) << "started " << i << " while keys were pressed";
    }
    started = nextStart(15s);
    ASSERT_TRUE(started) << idle->errors();
    EXPECT_GE(*started - input, 3000ms);
    kill(idle->pid(), SIGTERM);
    EXPECT_EQ(idle->waitExit(5s), std::optional<int>(0)) << idle->errors();
}

// XWayland's display, or any other, is left alone in a Wayland session.
TEST_F(IdleOnSway, TakesNothingFromAnXServerEvenWhereDisplayIsSet) {
    Xvfb xwayland(64, 64);
    ASSERT_TRUE(xwayland.ok());
    Env env = environment(sway->socket());
    env["DISPLAY"] = xwayland.display();
    auto idle = startIdle(600, env);
    EXPECT_NE(idle->errors().find("off through the compositor, but not over D-Bus"), std::string::npos)
        << idle->errors();
    // The X server's screen saver is still free: a watch told to use X11 takes it.
    env["MIREVO_PLATFORM"] = "x11";
    auto onX11 = startIdle(600, env);
    EXPECT_TRUE(onX11->running()) << onX11->errors();
    EXPECT_TRUE(idle->running()) << idle->errors();
}

TEST_F(IdleOnSway, AWindowsIdleInhibitorHoldsItOffUntilReleased) {
    auto idle = startIdle(2, environment(sway->socket()));
    WaylandInhibitingWindow player(sway->socket());
    ASSERT_TRUE(player.shown());
    userInput();
    EXPECT_FALSE(nextStart(6s)) << "started while a window inhibits idleness";
    const auto released = Clock::now();
    ASSERT_TRUE(player.release());
    const auto started = nextStart(10s);
    ASSERT_TRUE(started) << idle->errors();
    EXPECT_LT(*started - released, 5000ms);
}

TEST_F(IdleOnSway, ABusInhibitHoldsItOffUntilReturnedAndTheStatusNamesIt) {
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    const Env env = environment(sway->socket(), bus.address());
    auto idle = startIdle(2, env);
    const uint cookie = inhibit(bus);
    EXPECT_NE(cookie, 0u);
    const std::string text = status(env);
    EXPECT_NE(text.find("idle from: the Wayland compositor (KDE's idle protocol, org_kde_kwin_idle)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("held off by 1 inhibit:\n  \"mpv\": \"Playing video\" since "), std::string::npos) << text;
    userInput();
    EXPECT_FALSE(nextStart(5s)) << "started with an inhibit held";
    const auto released = Clock::now();
    EXPECT_EQ(screenSaverCall("UnInhibit", {cookie}).type(), QDBusMessage::ReplyMessage);
    auto started = nextStart(10s);
    ASSERT_TRUE(started) << idle->errors();
    EXPECT_LT(*started - released, 5000ms);

    // SimulateUserActivity counts as input for the compositor's timer: idleness ends and the wait starts again.
    const auto simulated = Clock::now();
    EXPECT_EQ(screenSaverCall("SimulateUserActivity", {}).type(), QDBusMessage::ReplyMessage);
    started = nextStart(10s);
    ASSERT_TRUE(started) << idle->errors();
    EXPECT_GE(*started - simulated, 2000ms);
}

TEST_F(IdleOnSway, ACompositorThatGoesAwayEndsItWithOneLine) {
    auto idle = startIdle(600, environment(sway->socket()));
    ASSERT_TRUE(idle->running()) << idle->errors();
    const size_t before = idle->errors().size();
    sway.reset();
    EXPECT_EQ(idle->waitExit(10s), std::optional<int>(1));
    EXPECT_EQ(idle->errors().substr(before), "mirevo-idle: lost the connection to the Wayland compositor\n");
}

// A compositor of our own with a seat and, when asked, ext-idle-notify-v1.
class IdleOnABareCompositor : public IdleInWayland {
protected:
    void start(bool extIdle) {
        std::vector<std::string> argv{MIREVO_BARE_COMPOSITOR, "wayland-bare"};
        if (extIdle) argv.push_back("--ext-idle");
        compositor = std::make_unique<ChildProcess>(argv, Env{{"XDG_RUNTIME_DIR", runtime.path()}});
        ASSERT_TRUE(pollUntil(10s, [&] { return compositor->output() == "ready\n"; })) << compositor->errors();
    }
    std::string socket() const { return runtime / "wayland-bare"; }

    TempDir runtime;
    std::unique_ptr<ChildProcess> compositor;
};

// ext-idle-notify-v1 cannot be told of activity: SimulateUserActivity ends the idleness and asks for a new
// notification, which counts the idle time from then on (the bare compositor never sees input of its own).
TEST_F(IdleOnABareCompositor, ExtIdleNotifyIsUsedWhereOfferedAndANewWaitFollowsSimulatedActivity) {
    start(true);
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    const auto begun = Clock::now();
    auto idle = startIdle(1, environment(socket(), bus.address()));
    auto started = nextStart(10s);
    ASSERT_TRUE(started) << idle->errors();
    EXPECT_GE(*started - begun, 1000ms);
    player = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QString::fromStdString(bus.address()), "player"));
    EXPECT_FALSE(nextStart(2s)) << "a second start without any activity";
    for (int i = 0; i < 2; ++i) {
        const auto simulated = Clock::now();
        EXPECT_EQ(screenSaverCall("SimulateUserActivity", {}).type(), QDBusMessage::ReplyMessage);
        started = nextStart(10s);
        ASSERT_TRUE(started) << "not started again after simulated activity " << i << ": " << idle->errors();
        EXPECT_GE(*started - simulated, 1000ms);
    }
}

TEST_F(IdleOnABareCompositor, GnomesIdleMonitorOnTheBusServesWhereTheCompositorHasNoIdleProtocol) {
    start(false);
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    ChildProcess monitor({MIREVO_FAKE_MUTTER}, {{"DBUS_SESSION_BUS_ADDRESS", bus.address()}});
    ASSERT_TRUE(pollUntil(10s, [&] { return monitor.output() == "ready\n"; })) << monitor.errors();
    const Env env = environment(socket(), bus.address());
    const auto touch = [&] {
        const auto now = Clock::now();
        ChildProcess send({"/usr/bin/dbus-send", "--bus=" + bus.address(), "--print-reply",
                           "--dest=org.gnome.Mutter.IdleMonitor", "/io/github/mirevo/test/FakeInput",
                           "io.github.mirevo.test.FakeInput.Touch"});
        EXPECT_EQ(send.waitExit(10s), std::optional<int>(0)) << send.errors();
        return now;
    };
    auto idle = startIdle(2, env);
    // The monitor has been idle since it started: the first session may come at once. Input ends that
    // idleness, and the wait starts again.
    ASSERT_TRUE(nextStart(10s)) << idle->errors() << monitor.errors();
    auto input = touch();
    auto started = nextStart(10s);
    ASSERT_TRUE(started) << idle->errors() << monitor.errors();
    EXPECT_GE(*started - input, 2000ms) << monitor.errors();
    EXPECT_NE(status(env).find("idle from: GNOME's idle monitor (org.gnome.Mutter.IdleMonitor)\n"), std::string::npos);

    // Input ends the idleness (the user-active watch), and an inhibit takes the idle watch away.
    touch();
    const uint cookie = inhibit(bus);
    EXPECT_TRUE(pollUntil(5s, [&] { return monitor.errors().find("removed watch 1\n") != std::string::npos; }))
        << monitor.errors();
    EXPECT_FALSE(nextStart(4s)) << "started with an inhibit held";
    input = Clock::now();
    EXPECT_EQ(screenSaverCall("UnInhibit", {cookie}).type(), QDBusMessage::ReplyMessage);
    started = nextStart(10s);
    ASSERT_TRUE(started) << idle->errors() << monitor.errors();

    // The monitor leaving the bus is the compositor gone.
    const size_t before = idle->errors().size();
    kill(monitor.pid(), SIGTERM);
    EXPECT_EQ(idle->waitExit(10s), std::optional<int>(1));
    EXPECT_EQ(idle->errors().substr(before),
              "mirevo-idle: GNOME's idle monitor left the session bus (the compositor has gone)\n");
}

TEST_F(IdleOnABareCompositor, NoIdleProtocolAndNoMonitorIsOneLineAndExitOne) {
    start(false);
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    for (const std::optional<std::string>& address : {std::optional<std::string>(bus.address()), std::optional<std::string>()}) {
        ChildProcess idle({program}, environment(socket(), address));
        EXPECT_EQ(idle.waitExit(15s), std::optional<int>(1));
        const std::string errors = idle.errors();
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
        EXPECT_NE(errors.find("tells no program when the user is idle"), std::string::npos) << errors;
    }
}

// GNOME's own compositor, where it runs here: mutter on its headless backend with a virtual monitor and a private
// bus, its input made through its remote-desktop service (the test's connection holds the session).
class IdleOnMutter : public IdleInWayland {
protected:
    void SetUp() override {
        if (const std::string why = HeadlessDesktop::unavailableReason(Desktop::Mutter); !why.empty())
            GTEST_SKIP() << why;
        IdleInWayland::SetUp();
        ASSERT_TRUE(bus.ok());
        mutter = std::make_unique<HeadlessDesktop>(Desktop::Mutter,
                                                   DesktopOptions{800, 600, "wayland-m", bus.address(), {}, {}});
        input = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(bus.address()), "remote-desktop"));
        // Each name this test calls, on a cold machine registered some time after the compositor answers.
        const bool up = mutter->ok() && pollUntil(60s, [&] {
            if (!mutter->running()) return true;
            for (const char* name : {"org.gnome.Mutter.IdleMonitor", "org.gnome.Mutter.RemoteDesktop"})
                if (!input->interface()->isServiceRegistered(name).value()) return false;
            return true;
        }) && mutter->running();
        if (!up) GTEST_SKIP() << mutter->notRunningReason();
        const QDBusReply<QDBusObjectPath> created = input->call(QDBusMessage::createMethodCall(
            "org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop",
            "CreateSession"));
        ASSERT_TRUE(created.isValid()) << created.error().message().toStdString();
        session = created.value().path();
        ASSERT_EQ(sessionCall("Start", {}).type(), QDBusMessage::ReplyMessage);
    }
    ~IdleOnMutter() override {
        input.reset();
        QDBusConnection::disconnectFromBus("remote-desktop");
    }
    QDBusMessage sessionCall(const char* method, QVariantList arguments) {
        auto message = QDBusMessage::createMethodCall("org.gnome.Mutter.RemoteDesktop", session,
                                                      "org.gnome.Mutter.RemoteDesktop.Session", method);
        message.setArguments(arguments);
        return input->call(message);
    }
    Clock::time_point userInput() {
        const auto now = Clock::now();
        EXPECT_EQ(sessionCall("NotifyPointerMotionRelative", {5.0, 5.0}).type(), QDBusMessage::ReplyMessage);
        return now;
    }
    DBusSession bus;
    std::unique_ptr<HeadlessDesktop> mutter;
    std::unique_ptr<QDBusConnection> input;
    QString session;
};

TEST_F(IdleOnMutter, TheSessionStartsAfterTheIdleTimeWithoutInput) {
    const Env env = environment(mutter->socket(), bus.address());
    auto idle = startIdle(3, env);
    EXPECT_NE(status(env).find("idle from: GNOME's idle monitor (org.gnome.Mutter.IdleMonitor)\n"), std::string::npos);
    // Mutter has been idle since it started: the first session may come at once.
    nextStart(5s);
    userInput();
    EXPECT_TRUE(pollUntil(2s, [&] { return status(env).find("screen saver: not active") != std::string::npos; }));
    const auto input = userInput();
    const auto started = nextStart(15s);
    ASSERT_TRUE(started) << idle->errors() << mutter->errors();
    EXPECT_GE(*started - input, 3000ms);
    EXPECT_LT(*started - input, 6000ms);
}

// KDE's compositor, where it runs here: kwin_wayland on its virtual backend with a private bus.
class IdleOnKWin : public IdleInWayland {
protected:
    void SetUp() override {
        if (const std::string why = HeadlessDesktop::unavailableReason(Desktop::KWin); !why.empty())
            GTEST_SKIP() << why;
        IdleInWayland::SetUp();
        ASSERT_TRUE(bus.ok());
        compositor = std::make_unique<HeadlessDesktop>(
            Desktop::KWin, DesktopOptions{800, 600, "wayland-k", bus.address(),
                                          {"--no-lockscreen", "--no-global-shortcuts", "--no-kactivities"},
                                          {{"QT_QPA_PLATFORM", "offscreen"}}});
        if (!compositor->ok()) GTEST_SKIP() << compositor->notRunningReason();
    }

    DBusSession bus;
    std::unique_ptr<HeadlessDesktop> compositor;
};

TEST_F(IdleOnKWin, AWindowsInhibitorHoldsItOffAndTheSessionStartsAfterTheIdleTimeOnceReleased) {
    WaylandInhibitingWindow player(compositor->socket());
    ASSERT_TRUE(player.shown()) << compositor->errors();
    const Env env = environment(compositor->socket(), bus.address());
    auto idle = startIdle(2, env);
    EXPECT_NE(status(env).find("idle from: the Wayland compositor (ext-idle-notify-v1)\n"), std::string::npos);
    EXPECT_FALSE(nextStart(5s)) << "started while a window inhibits idleness";
    const auto released = Clock::now();
    ASSERT_TRUE(player.release());
    const auto started = nextStart(10s);
    ASSERT_TRUE(started) << idle->errors();
    EXPECT_LT(*started - released, 5000ms);
    kill(idle->pid(), SIGTERM);
    EXPECT_EQ(idle->waitExit(5s), std::optional<int>(0)) << idle->errors();
}

} // namespace
} // namespace mirevo::test
