#include "idle/bus/qt_peer_bus.h"

#include <QDBusMessage>
#include <QDBusPendingReply>

#include "idle/daemon/idle_status.h"

namespace mirevo {

QtPeerBus::QtPeerBus(const std::string& address, const QString& name)
    : name_(name), connection_(QDBusConnection::connectToPeer(QString::fromStdString(address), name)) {}

QtPeerBus::~QtPeerBus() {
    QDBusConnection::disconnectFromPeer(name_);
}

BusStep QtPeerBus::opened() const {
    if (connection_.isConnected()) return {};
    return Failure(connection_.lastError().message().toStdString());
}

QDBusPendingCall QtPeerBus::callBusAsync(const QString& method, const QList<QVariant>& arguments,
                                         std::chrono::milliseconds deadline) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), method);
    call.setArguments(arguments);
    return connection_.asyncCall(call, int(deadline.count()));
}

QDBusPendingCall QtPeerBus::helloAsync(std::chrono::milliseconds deadline) {
    return callBusAsync(QStringLiteral("Hello"), {}, deadline);
}

BusStep QtPeerBus::hello(std::chrono::milliseconds deadline, const std::string& bus) {
    if (BusStep open = opened(); !open) return open;
    QDBusPendingCall call = helloAsync(deadline);
    call.waitForFinished();
    if (call.isError()) return Failure(peerBusError(call.reply(), deadline, bus, bus));
    return {};
}

std::string deadlineText(std::chrono::milliseconds deadline) {
    return spanText(uint32_t((deadline.count() + 999) / 1000));
}

bool timedOut(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    return name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
           name == QLatin1String("org.freedesktop.DBus.Error.TimedOut");
}

std::string peerBusError(const QDBusMessage& reply, std::chrono::milliseconds deadline, const std::string& peer,
                         const std::string& bus) {
    const QString name = reply.errorName();
    if (timedOut(reply)) return peer + " did not answer within " + deadlineText(deadline);
    if (name == QLatin1String("org.freedesktop.DBus.Error.Disconnected")) return bus + " closed the connection";
    return reply.errorMessage().toStdString();
}

} // namespace mirevo
