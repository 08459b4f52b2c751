#include "idle/lockers/qt_logind.h"

#include <cstdlib>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <fcntl.h>
#include <unistd.h>

#include "idle/bus/qt_peer_bus.h"

namespace mirevo {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
const std::string kNoLogind = "no logind on the system bus";

QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QList<QVariant>& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    return message;
}

QDBusMessage sessionProperty(const QString& path, const char* name) {
    return call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                {kSession, QString::fromLatin1(name)});
}

} // namespace

std::string QtLogind::systemBusAddress() {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return address && *address ? address : "unix:path=/run/dbus/system_bus_socket";
}

QtLogind::QtLogind(std::string address, std::chrono::milliseconds deadline)
    : address_(std::move(address)), deadline_(deadline) {
    lockedHintPoll_.setInterval(100);
    connect(&lockedHintPoll_, &QTimer::timeout, this, &QtLogind::pollLockedHint);
}

QtLogind::~QtLogind() = default;

void QtLogind::say(const std::string& line) {
    if (events_.line) events_.line(line);
}

void QtLogind::open() {
    const auto fail = [&](const std::string& why) {
        sessionProblem_ = sleepProblem_ = why;
        gone_ = true;
    };
    bus_ = std::make_unique<QtPeerBus>(address_, QStringLiteral("mirevo-idle-logind"));
    if (BusStep said = bus_->hello(deadline_, "the system bus"); !said)
        return fail("no logind (the system bus at " + address_ + ": " + said.reason() + ")");
    const auto ask = [&](const QString& method, const QList<QVariant>& arguments) {
        QDBusPendingCall pending = bus_->callBusAsync(method, arguments, deadline_);
        pending.waitForFinished();
        return pending.reply();
    };
    for (const QString& rule :
         {QStringLiteral("type='signal',interface='org.freedesktop.login1.Manager',member='PrepareForSleep'"),
          QStringLiteral("type='signal',interface='org.freedesktop.login1.Session',member='Lock'"),
          QStringLiteral("type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',arg0='%1'")
              .arg(kService)}) {
        const QDBusMessage added = ask(QStringLiteral("AddMatch"), {rule});
        if (added.type() == QDBusMessage::ErrorMessage)
            return fail("no logind (the system bus refused to pass its signals on: " +
                        peerBusError(added, deadline_, "the system bus", "the system bus") + ")");
    }
    QDBusConnection& c = bus_->connection();
    c.connect(QString(), kManagerPath, kManager, QStringLiteral("PrepareForSleep"), this,
              SLOT(preparingForSleep(bool)));
    c.connect(QString(), QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
              QStringLiteral("NameOwnerChanged"), this, SLOT(nameOwnerChanged(QString, QString, QString)));
    c.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
              QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
              SLOT(disconnected()));
    sessionProblem_ = findSession();
    if (sessionProblem_ == kNoLogind) fail(kNoLogind);
}

// The session by XDG_SESSION_ID, else the one this process belongs to; its object, to hear its Lock signal.
std::string QtLogind::findSession() {
    sessionPath_.clear();
    sessionId_.clear();
    const auto wait = [&](const QDBusMessage& message) {
        QDBusPendingCall pending = bus_->connection().asyncCall(message, int(deadline_.count()));
        pending.waitForFinished();
        return pending.reply();
    };
    const char* id = std::getenv("XDG_SESSION_ID");
    QDBusMessage found =
        id && *id ? wait(call(kManagerPath, kManager, QStringLiteral("GetSession"), {QString::fromUtf8(id)}))
                  : wait(call(kManagerPath, kManager, QStringLiteral("GetSessionByPID"), {uint(::getpid())}));
    if (found.type() == QDBusMessage::ErrorMessage) {
        if (found.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
            found.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
            return kNoLogind;
        return "logind knows no session of ours (" + peerBusError(found, deadline_, "logind", "the system bus") +
               ")";
    }
    const QString path = found.arguments().value(0).value<QDBusObjectPath>().path();
    const QDBusMessage idReply = wait(sessionProperty(path, "Id"));
    if (path.isEmpty() || idReply.type() == QDBusMessage::ErrorMessage)
        return "logind did not say which session is ours";
    sessionPath_ = path;
    sessionId_ = idReply.arguments().value(0).value<QDBusVariant>().variant().toString();
    bus_->connection().connect(QString(), sessionPath_, kSession, QStringLiteral("Lock"), this,
                               SLOT(sessionLocked()));
    return {};
}

void QtLogind::holdSleep(bool hold) {
    wantInhibitor_ = hold;
    if (!hold) return inhibitor_.reset();
    if (!inhibitor_.valid()) takeInhibitor();
}

void QtLogind::takeInhibitor() {
    if (!bus_ || gone_ || inhibitorAsked_) return;
    inhibitorAsked_ = true;
    auto* watcher = new QDBusPendingCallWatcher(
        bus_->connection().asyncCall(
            call(kManagerPath, kManager, QStringLiteral("Inhibit"),
                 {QStringLiteral("sleep"), QStringLiteral("mirevo-idle"),
                  QStringLiteral("Locks the screen before the system sleeps"), QStringLiteral("delay")}),
            int(deadline_.count())),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        inhibitorAsked_ = false;
        if (w->isError()) {
            sleepProblem_ = "logind gave no sleep inhibitor (" +
                            peerBusError(w->reply(), deadline_, "logind", "the system bus") + ")";
            return say(sleepProblem_ +
                       "; the system may sleep before the screen is locked");
        }
        const QDBusUnixFileDescriptor given = QDBusPendingReply<QDBusUnixFileDescriptor>(*w).value();
        // The reply's descriptor closes with it: ours is a copy.
        UniqueFd fd(given.isValid() ? ::fcntl(given.fileDescriptor(), F_DUPFD_CLOEXEC, 3) : -1);
        if (!fd.valid()) {
            sleepProblem_ = "logind's sleep inhibitor came without a descriptor";
            return say(sleepProblem_);
        }
        sleepProblem_.clear();
        if (wantInhibitor_) inhibitor_ = std::move(fd); // else given back at once: sleep was let go meanwhile
    });
}

void QtLogind::lockSession(bool ask, Done done) {
    cancel();
    done_ = std::move(done);
    const int generation = ++generation_;
    if (!bus_ || gone_ || !hasSession()) return finish(Failure("logind is not there to lock the session"));
    if (ask) {
        auto* watcher = new QDBusPendingCallWatcher(
            bus_->connection().asyncCall(
                call(kManagerPath, kManager, QStringLiteral("LockSession"), {sessionId_}),
                int(deadline_.count())),
            this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, generation](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    if (generation == generation_ && w->isError())
                        finish(Failure("logind refused to lock the session: " +
                                       peerBusError(w->reply(), deadline_, "logind", "the system bus")));
                });
    }
    pollLockedHint();
    lockedHintPoll_.start();
}

void QtLogind::pollLockedHint() {
    if (!done_ || !bus_) return;
    const int generation = generation_;
    auto* watcher = new QDBusPendingCallWatcher(
        bus_->connection().asyncCall(sessionProperty(sessionPath_, "LockedHint"), int(deadline_.count())),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (generation != generation_ || w->isError()) return;
                if (w->reply().arguments().value(0).value<QDBusVariant>().variant().toBool())
                    finish({});
            });
}

void QtLogind::cancel() {
    ++generation_;
    lockedHintPoll_.stop();
    done_ = nullptr;
}

void QtLogind::finish(const Covered& covered) {
    lockedHintPoll_.stop();
    ++generation_;
    Done done = std::move(done_);
    done_ = nullptr;
    if (done) done(covered);
}

void QtLogind::preparingForSleep(bool sleeping) {
    if (events_.prepareForSleep) events_.prepareForSleep(sleeping);
}

void QtLogind::sessionLocked() {
    if (events_.lock) events_.lock();
}

void QtLogind::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner) {
    if (name != kService) return;
    if (newOwner.isEmpty()) {
        gone_ = true;
        inhibitor_.reset();
        sessionProblem_ = sleepProblem_ = "logind has left the system bus";
        say("logind has left the system bus; until it is back, the screen is not locked before "
            "sleep and its lock requests are not heard");
        if (done_) finish(Failure("logind has left the system bus"));
        return;
    }
    // Back: the session and the inhibitor are asked for again.
    gone_ = false;
    sleepProblem_.clear();
    sessionProblem_ = findSession();
    say(sessionProblem_.empty() ? std::string("logind is back on the system bus")
                                : "logind is back on the system bus, but " + sessionProblem_);
    if (wantInhibitor_) takeInhibitor();
}

void QtLogind::disconnected() {
    if (gone_ && sleepProblem_ == "the system bus has gone, and with it logind") return;
    gone_ = true;
    inhibitor_.reset();
    sessionProblem_ = sleepProblem_ = "the system bus has gone, and with it logind";
    say("lost the system bus; the screen is no longer locked before sleep");
    if (done_) finish(Failure(sessionProblem_));
}

} // namespace mirevo
