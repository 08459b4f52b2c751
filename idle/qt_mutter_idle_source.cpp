#include "idle/qt_mutter_idle_source.h"

#include <algorithm>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "idle/qt_peer_bus.h"

namespace mirevo {
namespace {

constexpr uint32_t kPending = 0xffffffffu;

QDBusMessage monitorCall(const char* method, const QList<QVariant>& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kMutterIdleService),
                                                       QString::fromLatin1(kMutterIdlePath),
                                                       QString::fromLatin1(kMutterIdleService), QString::fromLatin1(method));
    call.setArguments(arguments);
    return call;
}

} // namespace

Result<std::unique_ptr<QtMutterIdleSource>, std::string> QtMutterIdleSource::open(const std::string& address,
                                                                                 IdleSourceEvents events,
                                                                                 int timeoutSeconds,
                                                                                 std::chrono::milliseconds deadline) {
    if (address.empty()) return Failure(std::string());
    auto bus = std::make_unique<QtPeerBus>(address, QStringLiteral("mirevo-idle-mutter"));
    if (BusStep said = bus->hello(deadline); !said)
        return Failure("mirevo-idle: cannot ask the session bus for GNOME's idle monitor: " + said.reason());
    const auto ask = [&](const QString& method, const QList<QVariant>& arguments) {
        QDBusPendingCall call = bus->callBusAsync(method, arguments, deadline);
        call.waitForFinished();
        return call.reply();
    };
    const QDBusMessage owned = ask(QStringLiteral("NameHasOwner"), {QString::fromLatin1(kMutterIdleService)});
    if (owned.type() == QDBusMessage::ErrorMessage)
        return Failure("mirevo-idle: cannot ask the session bus for GNOME's idle monitor: " +
                       peerBusError(owned, deadline));
    if (owned.arguments().value(0).toBool() == false) return Failure(std::string());
    // A connection opened as a peer hears a signal only once it has asked the bus for it.
    for (const QString& rule :
         {QStringLiteral("type='signal',interface='org.gnome.Mutter.IdleMonitor',member='WatchFired'"),
          QStringLiteral("type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',arg0='%1'")
              .arg(QString::fromLatin1(kMutterIdleService))}) {
        const QDBusMessage added = ask(QStringLiteral("AddMatch"), {rule});
        if (added.type() == QDBusMessage::ErrorMessage)
            return Failure("mirevo-idle: cannot listen to GNOME's idle monitor: " + peerBusError(added, deadline));
    }
    std::unique_ptr<QtMutterIdleSource> source(
        new QtMutterIdleSource(std::move(bus), std::move(events), timeoutSeconds, deadline));
    QDBusConnection& c = source->bus_->connection();
    const bool listening =
        c.connect(QString(), QString::fromLatin1(kMutterIdlePath), QString::fromLatin1(kMutterIdleService),
                  QStringLiteral("WatchFired"), source.get(), SLOT(watchFired(uint))) &&
        c.connect(QString(), QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
                  QStringLiteral("NameOwnerChanged"), source.get(),
                  SLOT(nameOwnerChanged(QString, QString, QString))) &&
        c.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"), QStringLiteral("org.freedesktop.DBus.Local"),
                  QStringLiteral("Disconnected"), source.get(), SLOT(disconnected()));
    if (!listening) return Failure(std::string("mirevo-idle: cannot listen to GNOME's idle monitor"));
    source->arm();
    return source;
}

QtMutterIdleSource::QtMutterIdleSource(std::unique_ptr<QtPeerBus> bus, IdleSourceEvents events, int timeoutSeconds,
                                       std::chrono::milliseconds deadline)
    : bus_(std::move(bus)), events_(std::move(events)), timeoutSeconds_(timeoutSeconds), deadline_(deadline) {}

QtMutterIdleSource::~QtMutterIdleSource() {
    events_ = {};
    lost_ = true; // nothing more is sent; the watches go with the connection
}

void QtMutterIdleSource::arm() {
    if (suspended_ || timeoutSeconds_ <= 0 || idleWatch_ || lost_) return;
    addWatch("AddIdleWatch", {QVariant::fromValue(qulonglong(timeoutSeconds_) * 1000)}, idleWatch_);
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
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, &id, generation](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (lost_) return;
        if (w->isError())
            return fail("mirevo-idle: GNOME's idle monitor refused a watch: " + peerBusError(w->reply(), deadline_));
        uint32_t given = QDBusPendingReply<uint>(*w).value();
        if (generation != generation_) return remove(given); // asked for before a change of mind
        id = given;
        const bool fired = std::find(firedEarly_.begin(), firedEarly_.end(), given) != firedEarly_.end();
        firedEarly_.clear();
        if (fired) watchFired(given);
    });
}

void QtMutterIdleSource::remove(uint32_t& id) {
    if (id && id != kPending && !lost_)
        bus_->connection().asyncCall(monitorCall("RemoveWatch", {id}), int(deadline_.count()));
    id = 0;
}

void QtMutterIdleSource::watchFired(uint id) {
    if (lost_ || id == 0 || id == kPending) return;
    if (id != idleWatch_ && id != activeWatch_ && (idleWatch_ == kPending || activeWatch_ == kPending)) {
        if (firedEarly_.size() < 8) firedEarly_.push_back(id);
        return;
    }
    if (id == idleWatch_ && !idle_) {
        idle_ = true;
        // Before the saver starts, so that the first input after it is not missed.
        addWatch("AddUserActiveWatch", {}, activeWatch_);
        if (events_.saverOn) events_.saverOn();
    } else if (id == activeWatch_) {
        activeWatch_ = 0; // a user-active watch fires once
        resumed();
    }
}

void QtMutterIdleSource::resumed() {
    if (!idle_) return;
    idle_ = false;
    if (events_.saverOff) events_.saverOff();
}

void QtMutterIdleSource::suspend(bool suspended) {
    suspended_ = suspended;
    if (!suspended) return arm();
    disarm();
    resumed();
}

void QtMutterIdleSource::setTimeoutSeconds(int seconds) {
    timeoutSeconds_ = seconds;
    disarm();
    resumed();
    arm();
}

void QtMutterIdleSource::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner) {
    if (name == QLatin1String(kMutterIdleService) && newOwner.isEmpty())
        fail("mirevo-idle: GNOME's idle monitor left the session bus (the compositor has gone)");
}

void QtMutterIdleSource::disconnected() {
    fail("mirevo-idle: lost the session bus, and with it GNOME's idle monitor");
}

void QtMutterIdleSource::fail(const std::string& line) {
    if (lost_) return;
    lost_ = true;
    if (events_.lost) events_.lost(line);
}

} // namespace mirevo
