#pragma once
// mirevo-idle's own status service, io.github.mirevo.Idle at /io/github/mirevo/Idle: GetStatus answers the
// idle time in force, whether the screen saver is active (and for how long) and each inhibit held
// (application, reason, seconds held), where idleness comes from and what locking does, as (u idle seconds, b
// active, u active seconds, a(ssu) inhibits, s source, s locking: lines).
// Both ends live here: the object the daemon serves, and the question mirevo-idle --status asks.
#include <chrono>
#include <functional>
#include <string>

#include <QDBusArgument>
#include <QDBusContext>
#include <QList>
#include <QObject>

#include "common/result.h"
#include "idle/daemon/idle_status.h"

namespace mirevo {

class IdleDaemon;

struct QtHeldInhibit {
    QString application, reason;
    uint heldSeconds = 0;
};
QDBusArgument& operator<<(QDBusArgument& out, const QtHeldInhibit& held);
const QDBusArgument& operator>>(const QDBusArgument& in, QtHeldInhibit& held);
// Before the first status is sent or read.
void registerStatusTypes();

class QtIdleStatusObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.mirevo.Idle")

public:
    QtIdleStatusObject(IdleDaemon& daemon, std::function<int()> timeoutSeconds)
        : daemon_(daemon), timeoutSeconds_(std::move(timeoutSeconds)) {}

public slots:
    Q_SCRIPTABLE uint GetStatus(bool& active, uint& activeSeconds, QList<mirevo::QtHeldInhibit>& inhibits,
                                QString& source, QString& locking);

private:
    IdleDaemon& daemon_;
    std::function<int()> timeoutSeconds_;
};

// Asks the mirevo-idle serving the bus at address; the status, or the one line that says why there is none.
// Each call to the bus waits at most deadline.
Result<IdleStatus, std::string> askIdleStatus(const std::string& address,
                                                    std::chrono::milliseconds deadline);

} // namespace mirevo

Q_DECLARE_METATYPE(mirevo::QtHeldInhibit)
