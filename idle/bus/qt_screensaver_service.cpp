#include "idle/bus/qt_screensaver_service.h"

#include <QDBusMessage>

#include "idle/daemon/idle_daemon.h"
#include "idle/daemon/idle_status.h"

namespace mirevo {
namespace {

// Only as much of a caller's string as is kept, so that a huge one costs no more than a short one.
std::string kept(const QString& text) {
    return text.left(int(kMaxCallerText) + 1).toStdString();
}

} // namespace

uint QtScreenSaverObject::Inhibit(const QString& application, const QString& reason) {
    const InhibitResult cookie = daemon_.inhibit(message().service().toStdString(), kept(application), kept(reason));
    if (!cookie) {
        sendErrorReply(QDBusError::LimitsExceeded, QStringLiteral("too many inhibits held by one caller"));
        return 0;
    }
    return *cookie;
}

void QtScreenSaverObject::UnInhibit(uint cookie) {
    switch (daemon_.uninhibit(message().service().toStdString(), cookie)) {
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
}

void QtScreenSaverObject::SimulateUserActivity() {
    daemon_.simulateUserActivity();
}

void QtScreenSaverObject::Lock() {
    if (!daemon_.lock())
        sendErrorReply(QDBusError::NotSupported,
                       QStringLiteral("mirevo-idle locks the screen only when started with --lock-after SECONDS"));
}

bool QtScreenSaverObject::GetActive() {
    return daemon_.active();
}

uint QtScreenSaverObject::GetActiveTime() {
    return daemon_.activeSeconds();
}

} // namespace mirevo
