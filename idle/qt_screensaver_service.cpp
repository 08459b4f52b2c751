#include "idle/qt_screensaver_service.h"

#include <QDBusConnectionInterface>

#include "idle/idle_daemon.h"

namespace mirevo {
namespace {

const QString kName = QStringLiteral("org.freedesktop.ScreenSaver");
const char* const kPaths[] = {"/ScreenSaver", "/org/freedesktop/ScreenSaver"};

} // namespace

QtScreenSaverObject::QtScreenSaverObject(IdleDaemon& daemon, QDBusServiceWatcher& owners)
    : daemon_(daemon), owners_(owners) {}

uint QtScreenSaverObject::Inhibit(const QString&, const QString&) {
    const QString owner = message().service();
    uint32_t cookie = 0;
    if (daemon_.inhibit(owner.toStdString(), cookie) == InhibitOutcome::TooMany) {
        sendErrorReply(QDBusError::LimitsExceeded, QStringLiteral("too many inhibits held by one caller"));
        return 0;
    }
    if (!owners_.watchedServices().contains(owner)) {
        owners_.addWatchedService(owner);
        // The caller may have left between its call and the watch.
        if (!connection().interface()->isServiceRegistered(owner)) daemon_.ownerLeft(owner.toStdString());
    }
    return cookie;
}

void QtScreenSaverObject::UnInhibit(uint cookie) {
    const QString owner = message().service();
    switch (daemon_.uninhibit(owner.toStdString(), cookie)) {
    case ReleaseOutcome::Released:
        break;
    case ReleaseOutcome::UnknownCookie:
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("no inhibit has the cookie %1").arg(cookie));
        break;
    case ReleaseOutcome::OtherOwner:
        sendErrorReply(QDBusError::AccessDenied,
                       QStringLiteral("the cookie %1 belongs to another caller").arg(cookie));
        break;
    }
    if (!daemon_.holds(owner.toStdString())) owners_.removeWatchedService(owner);
}

void QtScreenSaverObject::SimulateUserActivity() {
    daemon_.simulateUserActivity();
}

bool QtScreenSaverObject::GetActive() {
    return daemon_.active();
}

uint QtScreenSaverObject::GetActiveTime() {
    return daemon_.activeSeconds();
}

QtScreenSaverService::QtScreenSaverService(QDBusConnection bus, IdleDaemon& daemon)
    : bus_(std::move(bus)), daemon_(daemon),
      owners_(QString(), bus_, QDBusServiceWatcher::WatchForUnregistration) {
    QObject::connect(&owners_, &QDBusServiceWatcher::serviceUnregistered, [this](const QString& owner) {
        owners_.removeWatchedService(owner);
        daemon_.ownerLeft(owner.toStdString());
    });
}

QtScreenSaverService::~QtScreenSaverService() {
    if (serving_) bus_.unregisterService(kName);
    for (const char* path : kPaths)
        bus_.unregisterObject(QString::fromLatin1(path));
}

QtScreenSaverService::Outcome QtScreenSaverService::serve() {
    // The objects first, so that no caller who sees the name finds nothing behind it.
    for (size_t i = 0; i < objects_.size(); ++i) {
        objects_[i] = std::make_unique<QtScreenSaverObject>(daemon_, owners_);
        if (!bus_.registerObject(QString::fromLatin1(kPaths[i]), objects_[i].get(),
                                 QDBusConnection::ExportScriptableSlots |
                                     QDBusConnection::ExportScriptableSignals))
            return Outcome::Failed;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus_.interface()->registerService(kName, QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) return Outcome::Failed;
    serving_ = reply.value() == QDBusConnectionInterface::ServiceRegistered;
    return serving_ ? Outcome::Serving : Outcome::NameTaken;
}

void QtScreenSaverService::activeChanged(bool active) {
    for (auto& object : objects_)
        if (object) emit object->ActiveChanged(active);
}

} // namespace mirevo
