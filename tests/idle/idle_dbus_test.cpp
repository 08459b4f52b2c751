// mirevo-idle's org.freedesktop.ScreenSaver service and its daemon in this process, on a private session bus,
// with the X server's timer and the session starter stood in for: the cookies players get and give back,
// ActiveChanged as a player sees it, players that leave the bus, and a name another program already holds.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <gtest/gtest.h>

#include "idle/idle_daemon.h"
#include "idle/qt_screensaver_service.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/poll.h"
#include "tests/idle/fake_idle.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");

// ActiveChanged as one player receives it.
class SignalLog : public QObject {
    Q_OBJECT
public:
    std::vector<bool> values;
public slots:
    void activeChanged(bool active) { values.push_back(active); }
};

class ScreenSaverService : public ::testing::Test {
protected:
    ScreenSaverService() {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("idle_dbus_test"), nullptr};
        static QCoreApplication application(argc, argv);
    }
    ~ScreenSaverService() override {
        service.reset();
        for (const char* name : {"service", "a", "b", "owner"})
            QDBusConnection::disconnectFromBus(name);
    }
    void SetUp() override { ASSERT_TRUE(bus.ok()); }

    QDBusConnection connect(const char* name) {
        return QDBusConnection::connectToBus(QString::fromStdString(bus.address()), name);
    }
    QtScreenSaverService::Outcome serve() {
        service = std::make_unique<QtScreenSaverService>(connect("service"), daemon);
        const auto outcome = service->serve();
        if (outcome == QtScreenSaverService::Outcome::Serving)
            daemon.onActiveChanged([this](bool active) { service->activeChanged(active); });
        return outcome;
    }
    // The service answers on this same thread, so the event loop runs while the answer is awaited.
    QDBusMessage call(QDBusConnection& peer, const char* path, const char* method,
                      QVariantList arguments = {}) {
        auto message = QDBusMessage::createMethodCall(kService, path, kService, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = peer.asyncCall(message);
        settles([&] { return pending.isFinished(); });
        return pending.reply();
    }
    uint inhibit(QDBusConnection& peer, const char* path = "/ScreenSaver") {
        return QDBusReply<uint>(call(peer, path, "Inhibit", {"player", "video"})).value();
    }
    template <typename Condition> bool settles(Condition condition) {
        return pollUntil(10s, [&] {
            QCoreApplication::processEvents();
            return condition();
        });
    }

    DBusSession bus;
    RecordingSource source;
    CountingStarter starter;
    IdleDaemon::Clock::time_point now{};
    IdleDaemon daemon{source, starter, [this] { return now; }};
    std::unique_ptr<QtScreenSaverService> service;
};

TEST_F(ScreenSaverService, CookiesHoldTheTimerOffUntilEachIsReturnedByItsOwnCaller) {
    ASSERT_EQ(serve(), QtScreenSaverService::Outcome::Serving);
    QDBusConnection a = connect("a"), b = connect("b");
    const uint first = inhibit(a), second = inhibit(a, "/org/freedesktop/ScreenSaver");
    EXPECT_TRUE(first && second && first != second);
    EXPECT_EQ(source.suspends, std::vector<bool>{true}) << "the server's timer suspended once for both";

    EXPECT_EQ(call(b, "/ScreenSaver", "UnInhibit", {first}).errorName(),
              "org.freedesktop.DBus.Error.AccessDenied");
    EXPECT_EQ(call(a, "/ScreenSaver", "UnInhibit", {first + second + 1}).errorName(),
              "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(call(a, "/ScreenSaver", "UnInhibit", {first}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(source.suspends, std::vector<bool>{true}) << "one cookie of two returned";
    EXPECT_EQ(call(a, "/org/freedesktop/ScreenSaver", "UnInhibit", {second}).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(source.suspends, (std::vector<bool>{true, false}));
    EXPECT_EQ(call(a, "/ScreenSaver", "UnInhibit", {second}).errorName(),
              "org.freedesktop.DBus.Error.InvalidArgs")
        << "a cookie is good once";

    call(a, "/ScreenSaver", "SimulateUserActivity");
    EXPECT_EQ(source.resets, 1);
}

TEST_F(ScreenSaverService, PlayersSeeTheSaverComeAndGo) {
    ASSERT_EQ(serve(), QtScreenSaverService::Outcome::Serving);
    QDBusConnection a = connect("a");
    SignalLog log;
    ASSERT_TRUE(
        a.connect(QString(), "/ScreenSaver", kService, "ActiveChanged", &log, SLOT(activeChanged(bool))));
    EXPECT_FALSE(QDBusReply<bool>(call(a, "/ScreenSaver", "GetActive")).value());

    daemon.serverSaverOn(); // the server's timer fired: a session starts
    EXPECT_EQ(starter.started, 1);
    EXPECT_TRUE(settles([&] { return log.values == std::vector<bool>{true}; })) << "no ActiveChanged(true)";
    now += 7s;
    EXPECT_TRUE(QDBusReply<bool>(call(a, "/ScreenSaver", "GetActive")).value());
    EXPECT_EQ(QDBusReply<uint>(call(a, "/ScreenSaver", "GetActiveTime")).value(), 7u);

    daemon.serverSaverOff();
    EXPECT_TRUE(QDBusReply<bool>(call(a, "/ScreenSaver", "GetActive")).value()) << "the session still runs";
    daemon.sessionEnded();
    EXPECT_TRUE(settles([&] {
        return log.values == std::vector<bool>{true, false};
    })) << "no ActiveChanged(false)";
    EXPECT_EQ(QDBusReply<uint>(call(a, "/ScreenSaver", "GetActiveTime")).value(), 0u);
}

TEST_F(ScreenSaverService, APlayerThatLeavesTheBusLosesItsInhibits) {
    ASSERT_EQ(serve(), QtScreenSaverService::Outcome::Serving);
    std::string bName;
    {
        QDBusConnection a = connect("a"), b = connect("b");
        EXPECT_NE(inhibit(a), 0u);
        EXPECT_NE(inhibit(b), 0u);
        bName = b.baseService().toStdString();
    }
    ASSERT_TRUE(daemon.holds(bName));
    QDBusConnection::disconnectFromBus("b"); // its last handle: the connection closes, as when a player dies
    EXPECT_TRUE(settles([&] { return !daemon.holds(bName); })) << "b left, its inhibit stayed";
    EXPECT_TRUE(daemon.inhibited()) << "b's leaving released a's inhibit";
    QDBusConnection::disconnectFromBus("a");
    EXPECT_TRUE(settles([&] { return !daemon.inhibited(); }));
    EXPECT_EQ(source.suspends, (std::vector<bool>{true, false}));
}

TEST_F(ScreenSaverService, ANameAnotherProgramHoldsIsLeftToIt) {
    QDBusConnection owner = connect("owner");
    ASSERT_TRUE(owner.registerService(kService));
    EXPECT_EQ(serve(), QtScreenSaverService::Outcome::NameTaken);
    EXPECT_EQ(owner.interface()->serviceOwner(kService).value(), owner.baseService());
}

} // namespace
} // namespace mirevo::test

#include "idle_dbus_test.moc"
