// mirevo-idle's bus service in this process, on a private bus the test starts: the cookies players get and
// give back, ActiveChanged as a player sees it, a name another program holds, the status with two inhibitors,
// the loss of the bus with an inhibit held and a bus back at the same place, buses that do not answer, and
// one that stalls while served. Every wait is for a reply or a change of state, with a deadline.
#include <csignal>
#include <future>
#include <map>
#include <set>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QFile>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include "common/posix/unique_fd.h"
#include "idle/bus/idle_bus_names.h"
#include "idle/bus/qt_idle_bus.h"
#include "idle/bus/qt_idle_status.h"
#include "idle/daemon/idle_daemon.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"
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

// What an introspection (or an interface file) says each interface holds, as text that compares: every
// member with its arguments' types, ins and outs each in their order. Argument names and annotations are left
// out (no caller sees them), and so are the interfaces every object has (org.freedesktop.DBus.*).
std::map<std::string, std::set<std::string>> interfacesIn(const QString& xml) {
    std::map<std::string, std::set<std::string>> interfaces;
    QXmlStreamReader reader(xml);
    std::string interface, member, ins, outs;
    while (!reader.atEnd()) {
        reader.readNext();
        const QString element = reader.name().toString();
        const auto attribute = [&](const char* name) {
            return reader.attributes().value(QLatin1String(name)).toString().toStdString();
        };
        if (reader.isStartElement() && element == "interface") {
            interface = attribute("name");
        } else if (reader.isStartElement() && (element == "method" || element == "signal")) {
            member = element.toStdString() + " " + attribute("name");
            ins.clear(), outs.clear();
        } else if (reader.isStartElement() && element == "arg") {
            const std::string direction = attribute("direction");
            const bool out = direction == "out" || (direction.empty() && member.rfind("signal", 0) == 0);
            (out ? outs : ins) += attribute("type") + " ";
        } else if (reader.isStartElement() && element == "property") {
            interfaces[interface].insert("property " + attribute("name") + " " + attribute("type") + " " +
                                         attribute("access"));
        } else if (reader.isEndElement() && (element == "method" || element == "signal")) {
            interfaces[interface].insert(member + " in(" + ins + ") out(" + outs + ")");
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    for (auto i = interfaces.begin(); i != interfaces.end();)
        i = i->first.rfind("org.freedesktop.DBus.", 0) == 0 ? interfaces.erase(i) : std::next(i);
    return interfaces;
}

class IdleBus : public ::testing::Test {
protected:
    IdleBus() {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("idle_bus_test"), nullptr};
        static QCoreApplication application(argc, argv);
        daemon.onLog([this](const std::string& line) { lines.push_back(line); });
    }
    ~IdleBus() override {
        daemon.onActiveChanged(nullptr);
        service.reset();
        for (const QString& name : peers)
            QDBusConnection::disconnectFromBus(name);
    }
    void serve(const std::string& address, std::chrono::milliseconds deadline = 5s) {
        service = std::make_unique<QtIdleBus>(
            address, daemon, [] { return 300; }, [this](const std::string& line) { lines.push_back(line); },
            QtIdleBus::Timing{deadline, 200ms});
        service->start();
        daemon.onActiveChanged([this](bool active) { service->activeChanged(active); });
    }
    // A plain call to the screen saver service, waited for with the events running.
    QDBusMessage call(QDBusConnection peer, const char* path, const char* method,
                      QVariantList arguments = {}) {
        auto message = QDBusMessage::createMethodCall(kService, path, kService, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = peer.asyncCall(message, 10000);
        EXPECT_TRUE(waitFor([&] { return pending.isFinished(); }));
        return pending.reply();
    }
    uint cookie(QDBusConnection peer, const char* path = "/ScreenSaver") {
        return QDBusReply<uint>(call(peer, path, "Inhibit", {"player", "video"})).value();
    }
    template <typename Condition>
    bool waitFor(Condition condition, std::chrono::milliseconds deadline = 15s) {
        return pollUntil(deadline, [&] {
            QCoreApplication::processEvents();
            return condition();
        });
    }
    bool waitForState(QtIdleBus::State state) {
        return waitFor([&] { return service->state() == state; });
    }
    QDBusConnection peer(const std::string& address, const QString& name) {
        peers.push_back(name);
        return QDBusConnection::connectToBus(QString::fromStdString(address), name);
    }
    // The service answers on this thread, so the call is waited for with the events running.
    QDBusMessage inhibit(QDBusConnection peer, const char* application, const char* reason) {
        auto call = QDBusMessage::createMethodCall("org.freedesktop.ScreenSaver", "/ScreenSaver",
                                                   "org.freedesktop.ScreenSaver", "Inhibit");
        call << QString(application) << QString(reason);
        QDBusPendingCall pending = peer.asyncCall(call, 10000);
        EXPECT_TRUE(waitFor([&] { return pending.isFinished(); }));
        return pending.reply();
    }
    Result<IdleStatus, std::string> status(const std::string& address) {
        auto answer = std::async(std::launch::async, [&] { return askIdleStatus(address, 5s); });
        EXPECT_TRUE(waitFor([&] { return answer.wait_for(0s) == std::future_status::ready; }));
        return answer.get();
    }

    RecordingSource source;
    CountingStarter starter;
    IdleDaemon::Clock::time_point now{};
    IdleDaemon daemon{source, starter, [this] { return now; }};
    std::vector<std::string> lines;
    std::unique_ptr<QtIdleBus> service;
    std::vector<QString> peers;
};

TEST_F(IdleBus, StatusListsTwoInhibitorsWithTheirApplicationReasonAndTime) {
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    serve(bus.address());
    ASSERT_TRUE(waitForState(QtIdleBus::State::Serving)) << ::testing::PrintToString(lines);
    EXPECT_TRUE(service->servesScreenSaver());

    EXPECT_EQ(inhibit(peer(bus.address(), "a"), "mpv", "Playing video").type(), QDBusMessage::ReplyMessage);
    now += 30s;
    EXPECT_EQ(inhibit(peer(bus.address(), "b"), "firefox", "audio").type(), QDBusMessage::ReplyMessage);
    now += 5s;
    auto answer = status(bus.address());
    ASSERT_TRUE(answer) << answer.reason();
    const IdleStatus& held = *answer;
    EXPECT_EQ(held.timeoutSeconds, 300);
    EXPECT_FALSE(held.active);
    ASSERT_EQ(held.inhibits.size(), 2u);
    EXPECT_EQ(held.inhibits[0].application + "|" + held.inhibits[0].reason + "|" +
                  std::to_string(held.inhibits[0].heldSeconds),
              "mpv|Playing video|35");
    EXPECT_EQ(held.inhibits[1].application + "|" + held.inhibits[1].reason + "|" +
                  std::to_string(held.inhibits[1].heldSeconds),
              "firefox|audio|5");
    EXPECT_EQ(lines, (std::vector<std::string>{inhibitTakenLine("mpv", "Playing video"),
                                               inhibitTakenLine("firefox", "audio")}));

    QDBusConnection::disconnectFromBus("b");
    ASSERT_TRUE(waitFor([&] { return lines.size() == 3; }));
    EXPECT_EQ(lines[2], inhibitOwnerLeftLine("firefox", "audio"));
    EXPECT_EQ(status(bus.address())->inhibits.size(), 1u);
}

// Lock goes to the lock keeper; without one (locking off) it is refused, and the status says locking is off.
TEST_F(IdleBus, LockIsTheKeepersAndRefusedWhileLockingIsOff) {
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    serve(bus.address());
    ASSERT_TRUE(waitForState(QtIdleBus::State::Serving)) << ::testing::PrintToString(lines);
    QDBusConnection a = peer(bus.address(), "a");
    EXPECT_EQ(call(a, "/ScreenSaver", "Lock").errorName(), "org.freedesktop.DBus.Error.NotSupported");
    EXPECT_EQ(status(bus.address())->locking,
              std::vector<std::string>{"locking: off (mirevo-idle --lock-after SECONDS turns it on)"});
    int locks = 0;
    daemon.onLocking(
        {[&] { return ++locks > 0; }, [] { return std::string("locking: on\nlast lock: \x1b[2J\n"); }});
    EXPECT_EQ(call(a, "/org/freedesktop/ScreenSaver", "Lock").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(locks, 1);
    EXPECT_EQ(status(bus.address())->locking, (std::vector<std::string>{"locking: on", "last lock: ?[2J"}));
    daemon.onLocking({});
}

TEST_F(IdleBus, CookiesHoldTheTimerOffUntilEachIsReturnedByItsOwnCaller) {
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    serve(bus.address());
    ASSERT_TRUE(waitForState(QtIdleBus::State::Serving)) << ::testing::PrintToString(lines);
    QDBusConnection a = peer(bus.address(), "a"), b = peer(bus.address(), "b");
    const uint first = cookie(a), second = cookie(a, "/org/freedesktop/ScreenSaver");
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

TEST_F(IdleBus, PlayersSeeTheSaverComeAndGo) {
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    serve(bus.address());
    ASSERT_TRUE(waitForState(QtIdleBus::State::Serving)) << ::testing::PrintToString(lines);
    QDBusConnection a = peer(bus.address(), "a");
    SignalLog log;
    ASSERT_TRUE(
        a.connect(QString(), "/ScreenSaver", kService, "ActiveChanged", &log, SLOT(activeChanged(bool))));
    EXPECT_FALSE(QDBusReply<bool>(call(a, "/ScreenSaver", "GetActive")).value());

    daemon.serverSaverOn(); // the server's timer fired: a session starts
    EXPECT_EQ(starter.started, 1);
    EXPECT_TRUE(waitFor([&] { return log.values == std::vector<bool>{true}; })) << "no ActiveChanged(true)";
    now += 7s;
    EXPECT_TRUE(QDBusReply<bool>(call(a, "/ScreenSaver", "GetActive")).value());
    EXPECT_EQ(QDBusReply<uint>(call(a, "/ScreenSaver", "GetActiveTime")).value(), 7u);

    daemon.serverSaverOff();
    EXPECT_TRUE(QDBusReply<bool>(call(a, "/ScreenSaver", "GetActive")).value()) << "the session still runs";
    daemon.sessionEnded();
    EXPECT_TRUE(waitFor([&] {
        return log.values == std::vector<bool>{true, false};
    })) << "no ActiveChanged(false)";
    EXPECT_EQ(QDBusReply<uint>(call(a, "/ScreenSaver", "GetActiveTime")).value(), 0u);
}

TEST_F(IdleBus, ANameAnotherProgramHoldsIsLeftToIt) {
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    QDBusConnection owner = peer(bus.address(), "owner");
    ASSERT_TRUE(owner.registerService(kService));
    serve(bus.address());
    ASSERT_TRUE(waitForState(QtIdleBus::State::Serving)) << ::testing::PrintToString(lines);
    EXPECT_FALSE(service->servesScreenSaver());
    EXPECT_EQ(owner.interface()->serviceOwner(kService).value(), owner.baseService());
}

TEST_F(IdleBus, LosingTheBusDropsEveryInhibitItHeldAndABusBackAtItsPlaceIsServedAgain) {
    TempDir folder;
    auto bus = std::make_unique<DBusSession>(folder / "bus");
    ASSERT_TRUE(bus->ok());
    const std::string address = bus->address();
    serve(address);
    ASSERT_TRUE(waitForState(QtIdleBus::State::Serving));
    inhibit(peer(address, "a"), "mpv", "Playing video");
    inhibit(peer(address, "a2"), "firefox", "audio");
    ASSERT_TRUE(daemon.inhibited());

    bus.reset(); // the bus daemon dies; its callers can no longer release anything
    ASSERT_TRUE(waitForState(QtIdleBus::State::Waiting));
    EXPECT_FALSE(daemon.inhibited());
    EXPECT_EQ(source.suspends, (std::vector<bool>{true, false})) << "the server's timer runs again";
    daemon.serverSaverOn();
    EXPECT_EQ(starter.started, 1);
    EXPECT_EQ(lines.back(), busLostLine(2));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](auto& l) { return l.find("lost the session bus") != std::string::npos; }),
              1);

    bus = std::make_unique<DBusSession>(folder / "bus");
    ASSERT_TRUE(bus->ok());
    ASSERT_TRUE(waitForState(QtIdleBus::State::Serving)) << ::testing::PrintToString(lines);
    EXPECT_NE(lines.back().find("answers again"), std::string::npos) << lines.back();
    EXPECT_EQ(inhibit(peer(address, "c"), "mpv", "Playing video").type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(daemon.inhibited());
}

// A bus that stalls while served (its daemon stopped) is said in one line however long it lasts, and its
// return in one more; the inhibits held stay held, and the bus is served on as before.
TEST_F(IdleBus, ABusThatStallsWhileServedIsSaidOnceAndItsReturnOnce) {
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    serve(bus.address(), 1s);
    ASSERT_TRUE(waitForState(QtIdleBus::State::Serving)) << ::testing::PrintToString(lines);
    inhibit(peer(bus.address(), "a"), "mpv", "Playing video");
    ASSERT_TRUE(daemon.inhibited());
    lines.clear();

    ASSERT_EQ(kill(bus.pid(), SIGSTOP), 0);
    const bool said = waitFor([&] { return !lines.empty(); });
    // The stall's length: several more questions go unanswered meanwhile.
    waitFor([] { return false; }, 4s);
    kill(bus.pid(), SIGCONT);
    ASSERT_TRUE(said) << "nothing said of the stall";
    ASSERT_TRUE(waitFor([&] { return lines.size() >= 2; })) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "the session bus at " + bus.address() +
                      " did not answer within 1 second; calls to mirevo-idle wait until it answers again",
                  "the session bus at " + bus.address() + " answers again"}));
    EXPECT_EQ(service->state(), QtIdleBus::State::Serving);
    EXPECT_TRUE(daemon.inhibited());
    EXPECT_EQ(inhibit(peer(bus.address(), "b"), "firefox", "audio").type(), QDBusMessage::ReplyMessage);
}

// A listening socket that nobody accepts on: the kernel takes the connection, and nothing ever answers.
UniqueFd silentSocket(const std::string& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.get(), 16) != 0)
        return UniqueFd();
    return fd;
}

TEST_F(IdleBus, ABusThatDoesNotAnswerIsLeftAfterTheDeadlineInOneLineAndTriedAgain) {
    DBusSession stopped;
    ASSERT_TRUE(stopped.ok());
    ASSERT_EQ(kill(stopped.pid(), SIGSTOP), 0);
    TempDir folder;
    const UniqueFd silent = silentSocket(folder / "silent");
    ASSERT_TRUE(silent.valid());

    for (const std::string& address : {stopped.address(), "unix:path=" + (folder / "silent")}) {
        lines.clear();
        serve(address, 1s);
        ASSERT_TRUE(waitForState(QtIdleBus::State::Waiting)) << address;
        ASSERT_EQ(lines.size(), 1u) << address;
        EXPECT_NE(lines[0].find("did not answer within 1 second; only the idle timer is used"),
                  std::string::npos)
            << lines[0];
        // The next tries say nothing more.
        ASSERT_TRUE(waitFor([&] { return service->state() == QtIdleBus::State::Connecting; }));
        ASSERT_TRUE(waitForState(QtIdleBus::State::Waiting));
        EXPECT_EQ(lines.size(), 1u);
    }

    kill(stopped.pid(), SIGCONT);
    serve(stopped.address(), 1s);
    EXPECT_TRUE(waitForState(QtIdleBus::State::Serving)) << ::testing::PrintToString(lines);
}

// The interface file installed for others to read says what the service answers, no more and no less.
TEST_F(IdleBus, ServesWhatItsInterfaceFileSays) {
    QFile file(QStringLiteral(MIREVO_SOURCE_DIR "/idle/bus/io.github.mirevo.Idle.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto promised = interfacesIn(QString::fromUtf8(file.readAll()));
    ASSERT_EQ(promised.size(), 2u);

    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    serve(bus.address());
    ASSERT_TRUE(waitForState(QtIdleBus::State::Serving)) << ::testing::PrintToString(lines);
    ASSERT_TRUE(service->servesScreenSaver());
    QDBusConnection asker = peer(bus.address(), "introspecting");
    std::map<std::string, std::set<std::string>> served;
    for (const char* path : {"/ScreenSaver", "/org/freedesktop/ScreenSaver", kIdleStatusPath}) {
        SCOPED_TRACE(path);
        const char* name = path == kIdleStatusPath ? kIdleStatusService : kScreenSaverService;
        QDBusPendingCall pending = asker.asyncCall(
            QDBusMessage::createMethodCall(name, path, "org.freedesktop.DBus.Introspectable", "Introspect"),
            10000);
        ASSERT_TRUE(waitFor([&] { return pending.isFinished(); }));
        const QDBusMessage reply = pending.reply();
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        const auto here = interfacesIn(reply.arguments().value(0).toString());
        ASSERT_EQ(here.size(), 1u) << ::testing::PrintToString(here);
        served.insert(*here.begin());
    }
    EXPECT_EQ(served, promised);
}

} // namespace
} // namespace mirevo::test

#include "idle_bus_test.moc"
