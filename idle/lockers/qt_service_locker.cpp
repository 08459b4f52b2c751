#include "idle/lockers/qt_service_locker.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

#include "idle/bus/qt_peer_bus.h"

namespace mirevo {

QtServiceLocker::QtServiceLocker(std::string address, std::chrono::milliseconds deadline)
    : address_(std::move(address)), deadline_(deadline) {
    poll_.setInterval(100);
    connect(&poll_, &QTimer::timeout, this, [this] {
        ask(QStringLiteral("GetActive"), [this](const QDBusMessage& reply) {
            if (reply.arguments().value(0).toBool()) finish({});
        });
    });
}

QtServiceLocker::~QtServiceLocker() = default;

void QtServiceLocker::ask(const QString& method, std::function<void(const QDBusMessage&)> then) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QString::fromStdString(name_.service), QString::fromLatin1(name_.path),
                                       QString::fromLatin1(name_.interface), method);
    auto* watcher =
        new QDBusPendingCallWatcher(bus_->connection().asyncCall(message, int(deadline_.count())), this);
    const int generation = generation_;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation, then](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation == generation_) then(w->reply());
            });
}

void QtServiceLocker::lock(const ScreenSaverServiceName& name, Done done) {
    cancel();
    name_ = name;
    done_ = std::move(done);
    bus_.reset();
    bus_ = std::make_unique<QtPeerBus>(address_, QStringLiteral("mirevo-idle-locker-%1").arg(++tries_));
    if (BusStep open = bus_->opened(); !open)
        return finish(
            Failure("cannot reach " + std::string(name_.shown) + " on the session bus: " + open.reason()));
    const int generation = generation_;
    auto* hello = new QDBusPendingCallWatcher(bus_->helloAsync(deadline_), this);
    connect(hello, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (generation != generation_) return;
        if (w->isError())
            return finish(Failure("cannot reach " + std::string(name_.shown) +
                                  " on the session bus: " + peerBusError(w->reply(), deadline_)));
        // A locker may answer Lock at once, or only once its lock screen is up: GetActive says when it is.
        ask(QStringLiteral("Lock"), [this](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ErrorMessage && !timedOut(reply))
                finish(Failure(std::string(name_.shown) + " refused to lock: " +
                               peerBusError(reply, deadline_)));
        });
        poll_.start();
    });
}

void QtServiceLocker::cancel() {
    ++generation_;
    poll_.stop();
    done_ = nullptr; // answers still on their way are dropped; the connection goes at the next lock
}

void QtServiceLocker::finish(const Covered& covered) {
    Done done = std::move(done_);
    cancel();
    if (done) done(covered);
}

} // namespace mirevo
