#pragma once
// org.freedesktop.ScreenSaver on the session bus, as video players and browsers call it to hold the screen
// saver off: Inhibit, UnInhibit, SimulateUserActivity, GetActive, GetActiveTime and the ActiveChanged
// signal; and Lock, as xdg-screensaver lock calls it (it locks when mirevo-idle's locking is on). QtIdleBus puts one object at each of /ScreenSaver and /org/freedesktop/ScreenSaver.
#include <QDBusContext>
#include <QObject>

namespace mirevo {

class IdleDaemon;

class QtScreenSaverObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    explicit QtScreenSaverObject(IdleDaemon& daemon) : daemon_(daemon) {}

public slots:
    Q_SCRIPTABLE uint Inhibit(const QString& application, const QString& reason);
    Q_SCRIPTABLE void UnInhibit(uint cookie);
    Q_SCRIPTABLE void SimulateUserActivity();
    Q_SCRIPTABLE void Lock();
    Q_SCRIPTABLE bool GetActive();
    Q_SCRIPTABLE uint GetActiveTime();

signals:
    Q_SCRIPTABLE void ActiveChanged(bool active);

private:
    IdleDaemon& daemon_;
};

} // namespace mirevo
