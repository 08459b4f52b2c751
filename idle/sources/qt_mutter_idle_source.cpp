#include "idle/sources/qt_mutter_idle_source.h"

#include <algorithm>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "idle/bus/qt_peer_bus.h"

namespace mirevo {
namespace {

constexpr uint32_t kPending = 0xffffffffu;

QDBusMessage monitorCall(const char* method, const QList<QVariant>& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kMutterIdleService), QString::fromLatin1(kMutterIdlePath),
        QString::fromLatin1(kMutterIdleService), QString::fromLatin1(method));
    call.setArguments(arguments);
    return call;
}

} // namespace

Result<std::unique_ptr<QtMutterIdleSource>, std::string>
QtMutterIdleSource::open(const std::string& address, int timeoutSeconds, std::chrono::milliseconds deadline) {
    if (address.empty()) return Failure(std::string());
    auto bus = std::make_unique<QtPeerBus>(address, QStringLiteral("mirevo-idle-mutter"));
    if (BusStep said = bus->hello(deadline); !said)
        return Failure("cannot ask the session bus for GNOME's idle monitor: " + said.reason());
    const auto ask = [&](const QString& method, const QList<QVariant>& arguments) {
        QDBusPendingCall call = bus->callBusAsync(method, arguments, deadline);
        call.waitForFinished();
        return call.reply();
    };
    const QDBusMessage owned = ask(QStringLiteral("NameHasOwner"), {QString::fromLatin1(kMutterIdleService)});
    if (owned.type() == QDBusMessage::ErrorMessage)
        return Failure("cannot ask the session bus for GNOME's idle monitor: " +
                       peerBusError(owned, deadline));
    if (owned.arguments().value(0).toBool() == false) return Failure(std::string());
    // A connection opened as a peer hears a signal only once it has asked the bus for it.
    for (const QString& rule :
         {QStringLiteral("type='signal',interface='org.gnome.Mutter.IdleMonitor',member='WatchFired'"),
          QStringLiteral("type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',arg0='%1'")
              .arg(QString::fromLatin1(kMutterIdleService))}) {
        const QDBusMessage added = ask(QStringLiteral("AddMatch"), {rule});
        if (added.type() == QDBusMessage::ErrorMessage)
            return Failure("cannot listen to GNOME's idle monitor: " +
                           peerBusError(added, deadline));
    }
    std::unique_ptr<QtMutterIdleSource> source(
        new QtMutterIdleSource(std::move(bus), timeoutSeconds, deadline));
    QDBusConnection& c = source->bus_->connection();
    const bool listening =
        c.connect(QString(), QString::fromLatin1(kMutterIdlePath), QString::fromLatin1(kMutterIdleService),
                  QStringLiteral("WatchFired"), source.get(), SLOT(watchFired(uint))) &&
        c.connect(QString(), QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
                  QStringLiteral("NameOwnerChanged"), source.get(),
                  SLOT(nameOwnerChanged(QString, QString, QString))) &&
        c.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                  QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), source.get(),
                  SLOT(disconnected()));
    if (!listening) return Failure(std::string("cannot listen to GNOME's idle monitor"));
    return source;
}

QtMutterIdleSource::QtMutterIdleSource(std::unique_ptr<QtPeerBus> bus, int timeoutSeconds,
                                       std::chrono::milliseconds deadline)
    : bus_(std::move(bus)), watch_(timeoutSeconds, {[this] { arm(); }, [this] { disarm(); }}),
      deadline_(deadline) {}

QtMutterIdleSource::~QtMutterIdleSource() {
    watch_.stop();
    watch_.lose(std::string()); // nothing more is sent; the watches go with the connection
}

void QtMutterIdleSource::arm() {
    addWatch("AddIdleWatch", {QVariant::fromValue(qulonglong(watch_.timeoutSeconds()) * 1000)}, idleWatch_);
}

void QtMutterIdleSource::disarm() {
    ++generation_;
    remove(idleWatch_);
    remove(activeWatch_);
}

void QtMutterIdleSource::addWatch(const char* method, const QList<QVariant>& arguments, uint32_t& id) {
    id = kPending;
    auto* watcher = new QDBusPendingCallWatcher(
        bus_->connection().asyncCall(monitorCall(method, arguments), int(deadline_.count())), this);
    const int generation = generation_;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, &id, generation](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (watch_.lost()) return;
                if (w->isError())
                    return fail("GNOME's idle monitor refused a watch: " +
                                peerBusError(w->reply(), deadline_));
                uint32_t given = QDBusPendingReply<uint>(*w).value();
                if (generation != generation_) return remove(given); // asked for before a change of mind
                id = given;
                const bool fired =
                    std::find(firedEarly_.begin(), firedEarly_.end(), given) != firedEarly_.end();
                firedEarly_.clear();
                if (fired) watchFired(given);
            });
}

void QtMutterIdleSource::remove(uint32_t& id) {
    if (id && id != kPending && !watch_.lost())
        bus_->connection().asyncCall(monitorCall("RemoveWatch", {id}), int(deadline_.count()));
    id = 0;
}

void QtMutterIdleSource::watchFired(uint id) {
    if (watch_.lost() || id == 0 || id == kPending) return;
    if (id != idleWatch_ && id != activeWatch_ && (idleWatch_ == kPending || activeWatch_ == kPending)) {
        if (firedEarly_.size() < 8) firedEarly_.push_back(id);
        return;
    }
    if (id == idleWatch_ && !watch_.idle()) {
        // Before the saver starts, so that the first input after it is not missed.
        addWatch("AddUserActiveWatch", {}, activeWatch_);
        watch_.idled();
    } else if (id == activeWatch_) {
        activeWatch_ = 0; // a user-active watch fires once
        watch_.resumed();
    }
}

void QtMutterIdleSource::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner) {
    if (name == QLatin1String(kMutterIdleService) && newOwner.isEmpty())
        fail("GNOME's idle monitor left the session bus (the compositor has gone)");
}

void QtMutterIdleSource::disconnected() {
    fail("lost the session bus, and with it GNOME's idle monitor");
}

} // namespace mirevo
