#include "idle/bus/qt_idle_bus.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "idle/bus/idle_bus_names.h"
#include "idle/daemon/idle_daemon.h"
#include "idle/bus/qt_idle_status.h"
#include "idle/bus/qt_peer_bus.h"
#include "idle/bus/qt_screensaver_service.h"

namespace mirevo {

// One connection and what listens on it; its hooks go with it.
class QtIdleBus::Link : public QObject {
    Q_OBJECT

public:
    Link(QtIdleBus& owner, const std::string& address, int number)
        : bus(address, QStringLiteral("mirevo-idle-%1").arg(number)), owner_(owner) {}

    bool listen() {
        QDBusConnection& c = bus.connection();
        return c.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                         QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                         SLOT(disconnected())) &&
               c.connect(QString(), QStringLiteral("/org/freedesktop/DBus"),
                         QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                         SLOT(nameOwnerChanged(QString, QString, QString)));
    }

    QtPeerBus bus;

private slots:
    void disconnected() { owner_.lost(this); }
    void nameOwnerChanged(const QString& name, const QString&, const QString& newOwner) {
        // A caller's connection (a unique name) has closed.
        if (newOwner.isEmpty() && name.startsWith(QLatin1Char(':'))) owner_.ownerLeft(name);
    }

private:
    QtIdleBus& owner_;
};

// A link may be let go from inside its own slot.
void QtIdleBus::LinkDeleter::operator()(Link* link) const {
    link->deleteLater();
}

QtIdleBus::QtIdleBus(std::string address, IdleDaemon& daemon, std::function<int()> timeoutSeconds,
                     std::function<void(const std::string&)> line, Timing timing)
    : address_(std::move(address)), daemon_(daemon), line_(std::move(line)), timing_(timing),
      nextRetry_(timing.retry) {
    registerStatusTypes();
    for (auto& object : screenSavers_)
        object = std::make_unique<QtScreenSaverObject>(daemon_);
    status_ = std::make_unique<QtIdleStatusObject>(daemon_, std::move(timeoutSeconds));
    deadline_.setSingleShot(true);
    retry_.setSingleShot(true);
    watch_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        giveUp("the session bus did not answer within " + deadlineText(timing_.deadline), true);
    });
    connect(&retry_, &QTimer::timeout, this, &QtIdleBus::attempt);
    connect(&watch_, &QTimer::timeout, this, &QtIdleBus::watch);
}

// The bus releases the names with the connection.
QtIdleBus::~QtIdleBus() {
    if (link_) delete link_.release();
}

void QtIdleBus::start() {
    attempt();
}

void QtIdleBus::setState(State state) {
    state_ = state;
    stalled_ = false;
    if (state == State::Serving)
        watch_.start(timing_.retry);
    else
        watch_.stop();
    emit stateChanged();
}

void QtIdleBus::watch() {
    if (state_ != State::Serving) return;
    auto* question = new QDBusPendingCallWatcher(
        link_->bus.callBusAsync(QStringLiteral("GetId"), {}, timing_.deadline), link_.get());
    connect(question, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (state_ != State::Serving || w->parent() != link_.get()) return; // a link let go meanwhile
        // A closed connection is the Disconnected signal's to report.
        const bool late = w->isError() && timedOut(w->reply());
        if (late && !stalled_)
            line_("the session bus at " + address_ + " did not answer within " +
                  deadlineText(timing_.deadline) + "; calls to mirevo-idle wait until it answers again");
        if (!w->isError() && stalled_)
            line_("the session bus at " + address_ + " answers again");
        if (late || !w->isError()) stalled_ = late;
        watch_.start(timing_.retry);
    });
}

void QtIdleBus::attempt() {
    link_.reset(new Link(*this, address_, ++tries_));
    state_ = State::Connecting;
    if (BusStep open = link_->bus.opened(); !open) return giveUp(open.reason(), false);
    if (!link_->listen()) return giveUp("cannot listen to the session bus", false);
    deadline_.start(timing_.deadline);
    auto* hello = new QDBusPendingCallWatcher(link_->bus.helloAsync(timing_.deadline), link_.get());
    connect(hello, &QDBusPendingCallWatcher::finished, this, &QtIdleBus::registered);
}

void QtIdleBus::registered(QDBusPendingCallWatcher* hello) {
    hello->deleteLater();
    if (state_ != State::Connecting || hello->parent() != link_.get()) return;
    if (hello->isError())
        return giveUp(peerBusError(hello->reply(), timing_.deadline), timedOut(hello->reply()));
    QDBusConnection& c = link_->bus.connection();
    const auto exported = QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals;
    // The objects before the names, so that no caller who sees a name finds nothing behind it.
    for (size_t i = 0; i < screenSavers_.size(); ++i)
        c.registerObject(QString::fromLatin1(kScreenSaverPaths[i]), screenSavers_[i].get(), exported);
    c.registerObject(QString::fromLatin1(kIdleStatusPath), status_.get(), exported);

    const uint doNotQueue = 4;
    pending_ = 3;
    servesScreenSaver_ = false;
    auto ask = [&](const QString& method, const QList<QVariant>& arguments,
                   std::function<void(const QDBusPendingCall&)> then) {
        auto* watcher = new QDBusPendingCallWatcher(
            link_->bus.callBusAsync(method, arguments, timing_.deadline), link_.get());
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, then](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (state_ != State::Connecting || w->parent() != link_.get()) return; // a try given up
            if (w->isError()) return giveUp(peerBusError(w->reply(), timing_.deadline), timedOut(w->reply()));
            then(*w);
            answered();
        });
    };
    ask(QStringLiteral("AddMatch"),
        {QStringLiteral("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                        "member='NameOwnerChanged'")},
        [](const QDBusPendingCall&) {});
    ask(QStringLiteral("RequestName"), {QString::fromLatin1(kScreenSaverService), doNotQueue},
        [this](const QDBusPendingCall& reply) {
            servesScreenSaver_ = QDBusPendingReply<uint>(reply).value() == 1;
            if (!servesScreenSaver_)
                line_(std::string("another program serves ") + kScreenSaverService +
                      " on the session bus; inhibits sent there are its own, and only the idle timer "
                      "is used");
        });
    ask(QStringLiteral("RequestName"), {QString::fromLatin1(kIdleStatusService), doNotQueue},
        [this](const QDBusPendingCall& reply) {
            if (QDBusPendingReply<uint>(reply).value() != 1)
                line_(std::string("another program serves ") + kIdleStatusService +
                      " on the session bus (another mirevo-idle?); mirevo-idle --status asks that one");
        });
}

void QtIdleBus::answered() {
    if (--pending_ > 0 || state_ != State::Connecting) return;
    deadline_.stop();
    if (failedSinceServing_)
        line_("the session bus at " + address_ + " answers again" +
              (servesScreenSaver_ ? std::string("; serving ") + kScreenSaverService : std::string()));
    failedSinceServing_ = false;
    reported_ = true;
    nextRetry_ = timing_.retry;
    setState(State::Serving);
}

void QtIdleBus::giveUp(const std::string& why, bool stuck) {
    if (state_ != State::Connecting) return;
    deadline_.stop();
    pending_ = 0;
    link_.reset();
    if (const size_t dropped = daemon_.busLost()) line_(busLostLine(dropped));
    if (!reported_)
        line_("cannot use the session bus at " + address_ + ": " + why +
              "; only the idle timer is used, and the bus is tried again after " +
              deadlineText(timing_.retry) + (stuck ? " and then less and less often" : ""));
    reported_ = failedSinceServing_ = true;
    retry_.start(nextRetry_);
    if (stuck) nextRetry_ = std::min(nextRetry_ * 2, timing_.retry * 64);
    setState(State::Waiting);
}

void QtIdleBus::lost(Link* link) {
    if (link != link_.get()) return; // one given up already
    if (state_ == State::Connecting) return giveUp("the session bus closed the connection", false);
    link_.reset();
    servesScreenSaver_ = false;
    line_(busLostLine(daemon_.busLost()));
    failedSinceServing_ = true;
    retry_.start(timing_.retry);
    setState(State::Waiting);
}

void QtIdleBus::ownerLeft(const QString& owner) {
    const std::string name = owner.toStdString();
    if (daemon_.holds(name)) daemon_.ownerLeft(name);
}

void QtIdleBus::activeChanged(bool active) {
    for (auto& object : screenSavers_)
        emit object->ActiveChanged(active);
}

} // namespace mirevo

#include "qt_idle_bus.moc"
