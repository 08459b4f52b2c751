#pragma once
// A connection to the session bus that is opened as a peer and registers itself with the bus (Hello) by a
// call like any other, so that every step waits at most a deadline. Qt's own bus connection sends Hello
// with libdbus's 25 s limit and holds every other D-Bus call of the process meanwhile: a bus daemon that is
// stopped, or a socket that accepts and never answers, would hold up the start and the end of the program.
#include <chrono>
#include <string>

#include <QDBusConnection>
#include <QDBusPendingCall>

#include "common/result.h"

class QDBusMessage;

namespace mirevo {

// Done, or the reason why not.
using BusStep = Result<void, std::string>;

class QtPeerBus {
public:
    // name: the connection's name in this process, unique among its open connections.
    QtPeerBus(const std::string& address, const QString& name);
    ~QtPeerBus();
    QtPeerBus(const QtPeerBus&) = delete;
    QtPeerBus& operator=(const QtPeerBus&) = delete;

    QDBusConnection& connection() { return connection_; }
    // Open, or why the connection could not be opened at all.
    BusStep opened() const;

    // Registers with the bus, its reply (a unique name) or error due within deadline.
    QDBusPendingCall helloAsync(std::chrono::milliseconds deadline);
    // The same, waited for.
    BusStep hello(std::chrono::milliseconds deadline, const std::string& bus = "the session bus");
    // A call of the bus daemon itself (org.freedesktop.DBus), its reply due within deadline.
    QDBusPendingCall callBusAsync(const QString& method, const QList<QVariant>& arguments,
                                  std::chrono::milliseconds deadline);

private:
    QString name_;
    QDBusConnection connection_;
};

// Whether an error reply says the call ran out of time (the bus stuck, rather than gone).
bool timedOut(const QDBusMessage& reply);
// An error reply as a reason: "<peer> did not answer within N seconds" for a call that ran out of time, "<bus>
// closed the connection" for one that lost its bus.
std::string peerBusError(const QDBusMessage& reply, std::chrono::milliseconds deadline,
                         const std::string& peer = "the session bus", const std::string& bus = "the session bus");
std::string deadlineText(std::chrono::milliseconds deadline);

} // namespace mirevo
