// Stands in for GNOME's idle monitor on the session bus given in DBUS_SESSION_BUS_ADDRESS:
// org.gnome.Mutter.IdleMonitor at /org/gnome/Mutter/IdleMonitor/Core with AddIdleWatch, AddUserActiveWatch,
// RemoveWatch, GetIdletime and the WatchFired signal. The test's "input" is a call of
// io.github.mirevo.test.FakeInput.Touch at /io/github/mirevo/test/FakeInput. Prints "ready" once it owns the name; each watch
// added and removed goes to standard error.
#include <cstdio>
#include <map>
#include <memory>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class Monitor : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")

public:
    Monitor() { sinceInput_.start(); }

public slots:
    Q_SCRIPTABLE uint AddIdleWatch(qulonglong interval) {
        const uint id = ++last_;
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
        timer->setProperty("watchInterval", int(interval)); // start(ms) below changes interval()
        connect(timer.get(), &QTimer::timeout, this, [this, id] { emit WatchFired(id); });
        timer->start(std::max<qint64>(0, qint64(interval) - sinceInput_.elapsed()));
        idleWatches_[id] = std::move(timer);
        std::fprintf(stderr, "idle watch %u of %llu ms\n", id, interval);
        return id;
    }
    Q_SCRIPTABLE uint AddUserActiveWatch() {
        const uint id = ++last_;
        activeWatches_[id] = true;
        std::fprintf(stderr, "user-active watch %u\n", id);
        return id;
    }
    Q_SCRIPTABLE void RemoveWatch(uint id) {
        idleWatches_.erase(id);
        activeWatches_.erase(id);
        std::fprintf(stderr, "removed watch %u\n", id);
    }
    Q_SCRIPTABLE qulonglong GetIdletime() { return qulonglong(sinceInput_.elapsed()); }

    void touch() {
        sinceInput_.restart();
        for (auto& [id, timer] : idleWatches_)
            timer->start(timer->property("watchInterval").toInt());
        auto fired = std::move(activeWatches_);
        activeWatches_.clear();
        for (auto& [id, unused] : fired)
            emit WatchFired(id);
    }

signals:
    Q_SCRIPTABLE void WatchFired(uint id);

private:
    uint last_ = 0;
    QElapsedTimer sinceInput_;
    std::map<uint, std::unique_ptr<QTimer>> idleWatches_;
    std::map<uint, bool> activeWatches_;
};

class FakeInput : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.mirevo.test.FakeInput")

public:
    explicit FakeInput(Monitor& monitor) : monitor_(monitor) {}

public slots:
    Q_SCRIPTABLE void Touch() { monitor_.touch(); }

private:
    Monitor& monitor_;
};

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    Monitor monitor;
    FakeInput input(monitor);
    QDBusConnection bus = QDBusConnection::sessionBus();
    const auto exported = QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals;
    if (!bus.registerObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"), &monitor, exported) ||
        !bus.registerObject(QStringLiteral("/io/github/mirevo/test/FakeInput"), &input, exported) ||
        !bus.registerService(QStringLiteral("org.gnome.Mutter.IdleMonitor")))
        return std::fprintf(stderr, "cannot serve the idle monitor\n"), 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}

#include "fake_mutter_idle_monitor.moc"
