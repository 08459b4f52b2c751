#pragma once
// org.freedesktop.ScreenSaver on the session bus, as video players and browsers call it to hold the screen
// saver off: Inhibit, UnInhibit, SimulateUserActivity, GetActive, GetActiveTime and the ActiveChanged
// signal, at /ScreenSaver and /org/freedesktop/ScreenSaver. A caller that leaves the bus loses its inhibits.
#include <array>
#include <memory>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QObject>

namespace mirevo {

class IdleDaemon;

// One exported object; the service puts one at each path.
class QtScreenSaverObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    QtScreenSaverObject(IdleDaemon& daemon, QDBusServiceWatcher& owners);

public slots:
    Q_SCRIPTABLE uint Inhibit(const QString& application, const QString& reason);
    Q_SCRIPTABLE void UnInhibit(uint cookie);
    Q_SCRIPTABLE void SimulateUserActivity();
    Q_SCRIPTABLE bool GetActive();
    Q_SCRIPTABLE uint GetActiveTime();

signals:
    Q_SCRIPTABLE void ActiveChanged(bool active);

private:
    IdleDaemon& daemon_;
    QDBusServiceWatcher& owners_;
};

class QtScreenSaverService {
public:
    enum class Outcome { Serving, NameTaken, Failed };

    QtScreenSaverService(QDBusConnection bus, IdleDaemon& daemon);
    ~QtScreenSaverService();
    QtScreenSaverService(const QtScreenSaverService&) = delete;
    QtScreenSaverService& operator=(const QtScreenSaverService&) = delete;

    // Exports the objects and takes the name unless another program has it.
    Outcome serve();
    void activeChanged(bool active);

private:
    QDBusConnection bus_;
    IdleDaemon& daemon_;
    QDBusServiceWatcher owners_;
    std::array<std::unique_ptr<QtScreenSaverObject>, 2> objects_;
    bool serving_ = false;
};

} // namespace mirevo
