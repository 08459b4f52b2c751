// Stands in for the services mirevo-idle locks through, where the real ones do not run here:
//   --logind         logind on the bus DBUS_SYSTEM_BUS_ADDRESS names (org.freedesktop.login1): the manager's
//                    GetSession, GetSessionByPID, LockSession, Inhibit (one end of a pipe, whose close it
//                    sees) and PrepareForSleep; session "1" with Lock, SetLockedHint and LockedHint. With
//                    --locker-ms N a desktop locker answers each Lock by SetLockedHint(true) N ms later. The
//                    test drives it through io.github.mirevo.test.Logind at /io/github/mirevo/test
//                    (PrepareForSleep(b), Lock()). With --slow-ms N it answers Inhibit N ms late.
//   --gdm            GDM's org.gnome.DisplayManager on the same bus (its Version), which GNOME Shell asks for
//                    before it offers its lock screen.
//   --kde[=never|refuse]  KDE's screen locker on the session bus: org.freedesktop.ScreenSaver's Lock, after
//   which
//                    GetActive is true 200 ms later (never; or Lock refused).
// Each thing done is one line on standard output: "ready", "inhibited", "released", "lock-session", "locked",
// "kde-lock".
#include <cstdio>
#include <cstring>
#include <memory>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>
#include <QTimer>
#include <unistd.h>

namespace {

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

const char* kSessionPath = "/org/freedesktop/login1/session/_31";

class Session : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(bool LockedHint READ lockedHint)

public:
    explicit Session(int lockerMs) : lockerMs_(lockerMs) {}
    QString id() const { return QStringLiteral("1"); }
    bool lockedHint() const { return locked_; }
    // As logind does for LockSession and loginctl lock-session: the signal, which the desktop's locker hears.
    void lock() {
        emit Lock();
        if (lockerMs_ >= 0) QTimer::singleShot(lockerMs_, this, [this] { SetLockedHint(true); });
    }

public slots:
    Q_SCRIPTABLE void SetLockedHint(bool locked) {
        locked_ = locked;
        if (locked) say("locked");
    }

signals:
    Q_SCRIPTABLE void Lock();
    Q_SCRIPTABLE void Unlock();

private:
    int lockerMs_;
    bool locked_ = false;
};

class Manager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    Manager(Session& session, int slowMs) : session_(session), slowMs_(slowMs) {}

public slots:
    Q_SCRIPTABLE QDBusObjectPath GetSession(const QString& id) {
        if (id != QLatin1String("1") && id != QLatin1String("auto"))
            sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSuchSession"),
                           QStringLiteral("No such session"));
        return QDBusObjectPath(kSessionPath);
    }
    Q_SCRIPTABLE QDBusObjectPath GetSessionByPID(uint) { return QDBusObjectPath(kSessionPath); }
    Q_SCRIPTABLE void LockSession(const QString& id) {
        if (id != QLatin1String("1"))
            return sendErrorReply(QStringLiteral("org.freedesktop.login1.NoSuchSession"),
                                  QStringLiteral("No such session"));
        say("lock-session");
        session_.lock();
    }
    Q_SCRIPTABLE QDBusUnixFileDescriptor Inhibit(const QString& what, const QString&, const QString&,
                                                 const QString& mode) {
        if (slowMs_ <= 0) return inhibitor(what, mode);
        setDelayedReply(true);
        QTimer::singleShot(slowMs_, this, [this, call = message(), bus = connection(), what, mode] {
            bus.send(call.createReply(QVariant::fromValue(inhibitor(what, mode))));
        });
        return {};
    }

signals:
    Q_SCRIPTABLE void PrepareForSleep(bool start);

private:
    QDBusUnixFileDescriptor inhibitor(const QString& what, const QString& mode) {
        int ends[2];
        if (::pipe(ends) != 0) return {};
        std::printf("inhibited %s %s\n", qPrintable(what), qPrintable(mode));
        std::fflush(stdout);
        // The caller holds the write end; its close (the release) makes the read end readable.
        auto* released = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        connect(released, &QSocketNotifier::activated, this, [released, fd = ends[0]] {
            released->setEnabled(false);
            released->deleteLater();
            ::close(fd);
            say("released");
        });
        QDBusUnixFileDescriptor given(ends[1]);
        ::close(ends[1]);
        return given;
    }

    Session& session_;
    int slowMs_;
};

class Control : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.mirevo.test.Logind")

public:
    Control(Manager& manager, Session& session) : manager_(manager), session_(session) {}

public slots:
    Q_SCRIPTABLE void PrepareForSleep(bool start) { emit manager_.PrepareForSleep(start); }
    Q_SCRIPTABLE void Lock() { session_.lock(); }

private:
    Manager& manager_;
    Session& session_;
};

class DisplayManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.DisplayManager.Manager")
    Q_PROPERTY(QString Version READ version)

public:
    QString version() const { return QStringLiteral("43.0"); }
};

class KdeLocker : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    explicit KdeLocker(QString behaviour) : behaviour_(std::move(behaviour)) {}

public slots:
    Q_SCRIPTABLE void Lock() {
        say("kde-lock");
        if (behaviour_ == QLatin1String("refuse"))
            return sendErrorReply(QDBusError::AccessDenied, QStringLiteral("locking is disabled"));
        if (behaviour_ != QLatin1String("never"))
            QTimer::singleShot(200, this, [this] {
                active_ = true;
                emit ActiveChanged(true);
            });
    }
    Q_SCRIPTABLE bool GetActive() { return active_; }

signals:
    Q_SCRIPTABLE void ActiveChanged(bool active);

private:
    QString behaviour_;
    bool active_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    bool logind = false, gdm = false;
    int lockerMs = -1, slowMs = 0;
    QString kde;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--logind")) logind = true;
        if (!std::strcmp(argv[i], "--gdm")) gdm = true;
        if (!std::strncmp(argv[i], "--locker-ms=", 12)) lockerMs = std::atoi(argv[i] + 12);
        if (!std::strncmp(argv[i], "--slow-ms=", 10)) slowMs = std::atoi(argv[i] + 10);
        if (!std::strncmp(argv[i], "--kde", 5))
            kde = argv[i][5] == '=' ? QString(argv[i] + 6) : QStringLiteral("yes");
    }
    const auto exported = QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAllProperties;
    Session session(lockerMs);
    Manager manager(session, slowMs);
    Control control(manager, session);
    DisplayManager displayManager;
    if (logind || gdm) {
        QDBusConnection system = QDBusConnection::connectToBus(
            QString::fromLocal8Bit(qgetenv("DBUS_SYSTEM_BUS_ADDRESS")), QStringLiteral("system"));
        if (logind &&
            (!system.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager, exported) ||
             !system.registerObject(QString::fromLatin1(kSessionPath), &session, exported) ||
             !system.registerObject(QStringLiteral("/io/github/mirevo/test"), &control, exported) ||
             !system.registerService(QStringLiteral("org.freedesktop.login1"))))
            return std::fprintf(stderr, "cannot serve logind\n"), 1;
        if (gdm && (!system.registerObject(QStringLiteral("/org/gnome/DisplayManager/Manager"),
                                           &displayManager, exported) ||
                    !system.registerService(QStringLiteral("org.gnome.DisplayManager"))))
            return std::fprintf(stderr, "cannot serve GDM\n"), 1;
    }
    std::unique_ptr<KdeLocker> locker;
    if (!kde.isEmpty()) {
        locker = std::make_unique<KdeLocker>(kde);
        QDBusConnection session = QDBusConnection::sessionBus();
        if (!session.registerObject(QStringLiteral("/ScreenSaver"), locker.get(), exported) ||
            !session.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), locker.get(), exported) ||
            !session.registerService(QStringLiteral("org.freedesktop.ScreenSaver")))
            return std::fprintf(stderr, "cannot serve the screen locker\n"), 1;
    }
    say("ready");
    return application.exec();
}

#include "fake_lock_services.moc"
