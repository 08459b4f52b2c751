// mirevo-idle on a private Xvfb (and, where it matters, a private session bus): the saver session starts
// once the server's timer fires, with the desktop as it was, and never while something holds it off.
#include <csignal>
#include <filesystem>
#include <sstream>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <gtest/gtest.h>

#include "common/posix/unique_fd.h"
#include "tests/harness/child_process.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"
#include "tests/idle/stand_in_starts.h"

#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/scrnsaver.h>

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Env = std::map<std::string, std::optional<std::string>>;

class IdleWatch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok() && client.ok());
        std::filesystem::create_directories(folder / "bin");
        ASSERT_TRUE(std::filesystem::copy_file(builtProgram("mirevo-idle"), program));
        ASSERT_TRUE(std::filesystem::copy_file(MIREVO_STAND_IN, folder / "bin/Mirevo.scr"));
    }
    void setIdleSeconds(int seconds) {
        ChildProcess xset({"/usr/bin/xset", "-display", server.display(), "s", std::to_string(seconds)});
        ASSERT_EQ(xset.waitExit(10s), std::optional<int>(0));
    }
    Env environment(std::optional<std::string> bus = std::nullopt) {
        return {{"DISPLAY", server.display()},
                {"HOME", folder / "home"},
                {"XDG_CONFIG_HOME", folder / "config"},
                {"XDG_CACHE_HOME", folder / "cache"},
                {"XDG_RUNTIME_DIR", folder.path()},
                {"DBUS_SESSION_BUS_ADDRESS", bus},
                {"MIREVO_STAND_IN_LOG", log}};
    }
    // Started, with its timeout line printed (the bus served or refused before it).
    std::unique_ptr<ChildProcess> startIdle(const std::string& path, Env env) {
        auto idle = std::make_unique<ChildProcess>(std::vector<std::string>{path}, env);
        EXPECT_TRUE(pollUntil(20s, [&] { return idle->output().find("without input") != std::string::npos; }))
            << idle->errors();
        return idle;
    }
    // Taken before the server sees the input, so the time to the start is never shorter than it was.
    Clock::time_point userInput() {
        const auto now = Clock::now();
        XTestFakeRelativeMotionEvent(client.display(), 1, 1, CurrentTime);
        client.sync();
        return now;
    }
    // When the stand-in next started (it notes steady_clock's time first on its line), if before the
    // deadline.
    std::optional<Clock::time_point> nextStart(std::chrono::milliseconds deadline) {
        return nextStandInStart(log, seen_, deadline);
    }

    // The X selection by which dbus-launch marks the bus it started for this display and user; 0 for none.
    unsigned long autolaunchedBusOwner() {
        std::string machine = readFile("/etc/machine-id");
        if (machine.empty()) machine = readFile("/var/lib/dbus/machine-id");
        machine = machine.substr(0, machine.find('\n'));
        const passwd* user = getpwuid(getuid());
        const std::string name =
            "_DBUS_SESSION_BUS_SELECTION_" + std::string(user ? user->pw_name : "") + "_" + machine;
        return XGetSelectionOwner(client.display(), XInternAtom(client.display(), name.c_str(), False));
    }

    Xvfb server{320, 240};
    XClient client{server.display()};
    TempDir folder;
    const std::string program = folder / "bin/mirevo-idle", log = folder / "starts.log";
    size_t seen_ = 0;
};

TEST_F(IdleWatch, SessionStartsAfterTheIdleTimeUnlessAClientSuspendsTheServersSaver) {
    setIdleSeconds(2);
    auto idle = startIdle(program, environment());
    EXPECT_NE(idle->output().find("after 2 seconds without input (the X server's setting"),
              std::string::npos);
    EXPECT_NE(idle->errors().find("no D-Bus session bus"), std::string::npos) << idle->errors();

    const auto input = userInput();
    const auto started = nextStart(10s);
    ASSERT_TRUE(started) << idle->errors();
    EXPECT_GE(*started - input, 2000ms);
    EXPECT_LT(*started - input, 3000ms);
    EXPECT_EQ(readFile(log).substr(readFile(log).find(' ')), " /s\n");

    XClient player(server.display()); // suspends the server's saver, as SDL and many players do
    XScreenSaverSuspend(player.display(), True);
    player.sync();
    userInput();
    EXPECT_FALSE(nextStart(6s)) << "started while suspended";
    const auto released = Clock::now();
    XScreenSaverSuspend(player.display(), False);
    player.sync();
    EXPECT_LT(nextStart(5s).value_or(released + 1h) - released, 3000ms);

    kill(idle->pid(), SIGTERM);
    EXPECT_EQ(idle->waitExit(5s), std::optional<int>(0)) << idle->errors();
}

// The real saver, beside mirevo-idle in the build folder: its snapshot is the desktop, neither blanked nor
// tiled by the server.
TEST_F(IdleWatch, SnapshotOfTheRealSaverShowsTheDesktop) {
    const Image desktop = makeImage(320, 240, [](int x, int y) {
        return std::array<uint8_t, 3>{uint8_t(x * 255 / 319), uint8_t(y * 255 / 239), uint8_t(x ^ y)};
    });
    client.setRootPicture(desktop);
    setIdleSeconds(1);
    auto idle = startIdle(builtProgram("mirevo-idle"), environment());
    userInput();
    const unsigned long viewer = client.waitForWindow("Tovik_VC", 30s);
    ASSERT_NE(viewer, 0u) << idle->errors();
    // Started with no bus in their environment, neither the watch, the saver nor the viewer starts one (as
    // libdbus would through dbus-launch, where dbus-x11 is installed: it names its bus on the display).
    EXPECT_EQ(autolaunchedBusOwner(), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder / "dbus-1"));
    EXPECT_FALSE(std::filesystem::exists(folder / "home/.dbus"));

    const auto file = readBytes(folder / "Tovik.bmp");
    ASSERT_EQ(file.size(), 54 + bmpRowBytes(320) * 240);
    int wrong = 0;
    for (int row = 0; row < 240; row += 7)
        for (int column = 0; column < 320; column += 5) {
            const uint8_t* bgr = &file[54 + row * bmpRowBytes(320) + column * 3];
            wrong += colourDistance({bgr[2], bgr[1], bgr[0]}, desktop.at(319 - column, 239 - row)) > 2;
        }
    EXPECT_EQ(wrong, 0) << "pixels unlike the mirrored, bottom-up desktop";

    // Ending the watch ends the screen saver it started, the viewer with it.
    ASSERT_TRUE(pollUntil(10s, [&] { return client.mapped(viewer); }));
    kill(idle->pid(), SIGTERM);
    EXPECT_EQ(idle->waitExit(10s), std::optional<int>(0)) << idle->errors();
    EXPECT_TRUE(client.waitForNoWindow("Tovik_Main", 10s));
    EXPECT_TRUE(client.waitForNoWindow("Tovik_VC", 10s));
}

class IdleWatchOnABus : public IdleWatch {
protected:
    IdleWatchOnABus() {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("idle_e2e_test"), nullptr};
        static QCoreApplication application(argc, argv);
    }
    ~IdleWatchOnABus() override {
        for (const char* name : {"a", "owner"})
            QDBusConnection::disconnectFromBus(name);
    }
    std::unique_ptr<QDBusConnection> peer(const char* name) {
        return std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromStdString(bus.address()), name));
    }
    QDBusMessage call(QDBusConnection& peer, const char* path, const char* method,
                      QVariantList arguments = {}) {
        auto message = QDBusMessage::createMethodCall("org.freedesktop.ScreenSaver", path,
                                                      "org.freedesktop.ScreenSaver", method);
        message.setArguments(arguments);
        return peer.call(message);
    }

    DBusSession bus;
};

// The cookies, the callers that leave and the signal in detail: tests/idle/idle_dbus_test.cpp. Here the
// whole program, with the server's timer: held off while a player holds an inhibit, started soon after.
TEST_F(IdleWatchOnABus, AnInhibitHoldsTheSaverOffUntilItIsReturned) {
    ASSERT_TRUE(bus.ok());
    setIdleSeconds(1);
    auto idle = startIdle(program, environment(bus.address()));
    ChildProcess monitor({"/usr/bin/dbus-monitor", "--address", bus.address(),
                          "type='signal',interface='org.freedesktop.ScreenSaver'"});

    auto a = peer("a");
    const uint cookie = QDBusReply<uint>(call(*a, "/ScreenSaver", "Inhibit", {"player", "video"})).value();
    EXPECT_NE(cookie, 0u);
    userInput();
    EXPECT_FALSE(nextStart(2000ms)) << "started with an inhibit held";
    const auto released = Clock::now();
    EXPECT_EQ(call(*a, "/ScreenSaver", "UnInhibit", {cookie}).type(), QDBusMessage::ReplyMessage);
    EXPECT_LT(nextStart(5s).value_or(released + 1h) - released, 3000ms) << idle->errors();
    EXPECT_TRUE(QDBusReply<bool>(call(*a, "/ScreenSaver", "GetActive")).value());
    EXPECT_TRUE(pollUntil(5s, [&] { return monitor.output().find("boolean true") != std::string::npos; }))
        << "no ActiveChanged(true)";
}

TEST_F(IdleWatchOnABus, AnotherOwnerOfTheServiceKeepsItAndTheServersTimerStillStartsTheSaver) {
    ASSERT_TRUE(bus.ok());
    auto owner = peer("owner");
    ASSERT_TRUE(owner->registerService("org.freedesktop.ScreenSaver"));
    setIdleSeconds(1);
    auto idle = startIdle(program, environment(bus.address()));
    EXPECT_NE(idle->errors().find("another program serves org.freedesktop.ScreenSaver"), std::string::npos);
    EXPECT_EQ(owner->interface()->serviceOwner("org.freedesktop.ScreenSaver").value(), owner->baseService());
    userInput();
    EXPECT_TRUE(nextStart(5s)) << idle->errors();
}

TEST_F(IdleWatchOnABus, StatusListsEachInhibitorAndTheLogNamesEachInhibitTakenAndGivenUp) {
    ASSERT_TRUE(bus.ok());
    setIdleSeconds(600);
    auto idle = startIdle(program, environment(bus.address()));
    auto a = peer("a"), b = peer("b");
    const uint cookie =
        QDBusReply<uint>(call(*a, "/ScreenSaver", "Inhibit", {"mpv", "Playing video"})).value();
    EXPECT_NE(QDBusReply<uint>(call(*b, "/ScreenSaver", "Inhibit", {"Firefox", "audio-playing"})).value(),
              0u);

    ChildProcess status({program, "--status"}, environment(bus.address()));
    ASSERT_EQ(status.waitExit(15s), std::optional<int>(0)) << status.errors();
    RecordProperty("status_listing", status.output());
    const std::string text = status.output();
    EXPECT_EQ(text.rfind("idle time: 10 minutes\nidle from: the X server's screen-saver timer\nscreen saver: "
                        "not active\nheld off by 2 inhibits:\n", 0), 0u)
        << text;
    EXPECT_NE(text.find("\n  \"mpv\": \"Playing video\" since "), std::string::npos) << text;
    EXPECT_NE(text.find("\n  \"Firefox\": \"audio-playing\" since "), std::string::npos) << text;

    call(*a, "/ScreenSaver", "UnInhibit", {cookie});
    EXPECT_TRUE(pollUntil(5s, [&] { return idle->errors().find("no longer") != std::string::npos; }));
    EXPECT_EQ(idle->errors(),
              "mirevo-idle: \"mpv\" holds the screen saver off: \"Playing video\"\n"
              "mirevo-idle: \"Firefox\" holds the screen saver off: \"audio-playing\"\n"
              "mirevo-idle: \"mpv\" no longer holds the screen saver off (\"Playing video\")\n");

    ChildProcess none({program, "--status"}, environment(std::nullopt));
    EXPECT_EQ(none.waitExit(15s), std::optional<int>(1));
    EXPECT_NE(none.errors().find("no D-Bus session bus"), std::string::npos) << none.errors();
}

// A socket that accepts and never answers, as a stopped bus daemon's does.
TEST_F(IdleWatch, ABusThatNeverAnswersCostsOneLineAndTheServersTimerStillStartsTheSaver) {
    const std::string socketPath = folder / "silent-bus";
    const UniqueFd silent(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(silent.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent.get(), 16), 0);
    setIdleSeconds(1);
    auto idle = startIdle(program, environment("unix:path=" + socketPath));
    const std::string errors = idle->errors();
    EXPECT_NE(errors.find("did not answer within 5 seconds; only the idle timer is used"),
              std::string::npos)
        << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    userInput();
    EXPECT_TRUE(nextStart(10s)) << idle->errors();
    kill(idle->pid(), SIGTERM);
    EXPECT_EQ(idle->waitExit(5s), std::optional<int>(0)) << "ends at once, a try on the bus or not";
}

TEST_F(IdleWatch, AutostartOnWritesAValidLoginEntryAndOffRemovesIt) {
    const std::string entry = folder / "config/autostart/mirevo-idle.desktop";
    ChildProcess on({program, "--autostart", "on"}, environment());
    ASSERT_EQ(on.waitExit(10s), std::optional<int>(0)) << on.errors();
    EXPECT_NE(readFile(entry).find("\nExec=" + program + "\n"), std::string::npos) << readFile(entry);
    ChildProcess validate({"/usr/bin/desktop-file-validate", entry});
    EXPECT_EQ(validate.waitExit(10s), std::optional<int>(0));
    EXPECT_EQ(validate.output() + validate.errors(), "");

    ChildProcess off({program, "--autostart", "off"}, environment());
    ASSERT_EQ(off.waitExit(10s), std::optional<int>(0)) << off.errors();
    EXPECT_FALSE(std::filesystem::exists(entry));
}

TEST_F(IdleWatch, WithoutWhatItNeedsItSaysWhyInOneLineAndFails) {
    TempDir alone;
    ASSERT_TRUE(std::filesystem::copy_file(program, alone / "mirevo-idle"));
    const std::tuple<std::string, Env, std::string> cases[] = {
        {program, {{"DISPLAY", std::nullopt}}, "no X display"},
        {program, {{"DISPLAY", ":4095"}}, "cannot connect to the X display \":4095\""},
        {program + " --timeout soon", {}, "--timeout needs a whole number"},
        {alone / "mirevo-idle", {}, "Mirevo.scr is neither at"},
    };
    for (const auto& [command, changes, line] : cases) {
        Env env = environment();
        for (auto& [name, value] : changes)
            env[name] = value;
        std::istringstream words(command);
        ChildProcess idle({std::istream_iterator<std::string>(words), {}}, env);
        EXPECT_NE(idle.waitExit(10s).value_or(0), 0) << line;
        const std::string errors = idle.errors();
        EXPECT_NE(errors.find(line), std::string::npos) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }

    // A second watch on one display, and the server going away under the first.
    auto doomed = std::make_unique<Xvfb>(64, 64);
    Env env = environment();
    env["DISPLAY"] = doomed->display();
    auto idle = startIdle(program, env);
    ChildProcess second({program}, env);
    EXPECT_EQ(second.waitExit(10s), std::optional<int>(1));
    EXPECT_NE(second.errors().find("another program already runs the screen saver"), std::string::npos);
    doomed.reset();
    EXPECT_EQ(idle->waitExit(10s), std::optional<int>(1));
    EXPECT_NE(idle->errors().find("lost the connection to the X server"), std::string::npos)
        << idle->errors();
}

} // namespace
} // namespace mirevo::test
