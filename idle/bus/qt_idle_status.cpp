#include "idle/bus/qt_idle_status.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>

#include "idle/bus/idle_bus_names.h"
#include "idle/daemon/idle_daemon.h"
#include "idle/bus/qt_peer_bus.h"

namespace mirevo {

QDBusArgument& operator<<(QDBusArgument& out, const QtHeldInhibit& held) {
    out.beginStructure();
    out << held.application << held.reason << held.heldSeconds;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, QtHeldInhibit& held) {
    in.beginStructure();
    in >> held.application >> held.reason >> held.heldSeconds;
    in.endStructure();
    return in;
}

void registerStatusTypes() {
    qDBusRegisterMetaType<QtHeldInhibit>();
    qDBusRegisterMetaType<QList<QtHeldInhibit>>();
}

uint QtIdleStatusObject::GetStatus(bool& active, uint& activeSeconds, QList<QtHeldInhibit>& inhibits,
                                   QString& source, QString& locking) {
    source = QString::fromStdString(daemon_.sourceName());
    locking = QString::fromStdString(daemon_.lockingStatus());
    active = daemon_.active();
    activeSeconds = daemon_.activeSeconds();
    for (const HeldInhibit& held : daemon_.heldInhibits())
        inhibits.append({QString::fromStdString(held.application), QString::fromStdString(held.reason),
                         held.heldSeconds});
    return uint(std::max(0, timeoutSeconds_()));
}

Result<IdleStatus, std::string> askIdleStatus(const std::string& address,
                                              std::chrono::milliseconds deadline) {
    if (address.empty())
        return Failure(std::string("no D-Bus session bus, so no running mirevo-idle can be asked"));
    registerStatusTypes();
    QtPeerBus bus(address, "mirevo-idle-status");
    if (BusStep said = bus.hello(deadline); !said)
        return Failure("cannot ask the running mirevo-idle: " + said.reason());

    const QDBusMessage reply = bus.connection().call(
        QDBusMessage::createMethodCall(kIdleStatusService, kIdleStatusPath, kIdleStatusService, "GetStatus"),
        QDBus::Block, int(deadline.count()));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
            reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
            return Failure(std::string("no mirevo-idle runs on this session bus (nothing serves ") +
                           kIdleStatusService + ")");
        return Failure("cannot ask the running mirevo-idle: " + peerBusError(reply, deadline));
    }
    const QList<QVariant> values = reply.arguments();
    // A mirevo-idle from before the idle source was named answers with four values.
    if (values.size() < 4 || !values[3].canConvert<QDBusArgument>())
        return Failure(
            std::string("the running mirevo-idle answered in a form this one does not know"));
    IdleStatus status;
    status.timeoutSeconds = int(std::min<uint>(values[0].toUInt(), 32767));
    status.active = values[1].toBool();
    status.activeSeconds = values[2].toUInt();
    if (values.size() > 4) status.source = callerText(values[4].toString().toStdString());
    // A bounded number of lines, each shown as a caller's text.
    if (values.size() > 5)
        for (const QString& line : values[5].toString().split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(0, 8))
            status.locking.push_back(callerText(line.toStdString()));
    QList<QtHeldInhibit> inhibits;
    values[3].value<QDBusArgument>() >> inhibits;
    for (const QtHeldInhibit& held : inhibits)
        status.inhibits.push_back({callerText(held.application.toStdString()),
                                   callerText(held.reason.toStdString()), held.heldSeconds});
    return status;
}

} // namespace mirevo
