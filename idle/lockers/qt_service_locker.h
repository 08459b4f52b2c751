#pragma once
// A desktop's own screen locker on the session bus: GNOME Shell's org.gnome.ScreenSaver, or the
// org.freedesktop.ScreenSaver of another program (KDE Plasma's screen locker). Lock is called, and the locker
// has covered the screen once GetActive answers true (asked every 100 ms: a peer connection hears no signal
// it has not asked the bus for, and the answer is the same). A connection of its own for each lock, every
// call within the deadline.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QTimer>

#include "idle/lock/covered.h"

class QDBusMessage;

namespace mirevo {

class QtPeerBus;

// The object called: GNOME Shell's shield (as the shell names itself, org.gnome.Shell.ScreenShield, or as
// older shells did, org.gnome.ScreenSaver), or the desktop's org.freedesktop.ScreenSaver.
struct ScreenSaverServiceName {
    std::string service;
    const char* path;
    const char* interface;
    const char* shown; // as a line names it
};
inline const char* const kGnomeShieldNames[] = {"org.gnome.Shell.ScreenShield", "org.gnome.ScreenSaver"};
inline ScreenSaverServiceName gnomeShield(const std::string& name) {
    return {name, "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "GNOME Shell"};
}
inline ScreenSaverServiceName desktopScreenSaver() {
    return {"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
            "the desktop's screen locker"};
}

class QtServiceLocker : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(const Covered& covered)>;

    QtServiceLocker(std::string address, std::chrono::milliseconds deadline);
    ~QtServiceLocker() override;

    void lock(const ScreenSaverServiceName& name, Done done);
    void cancel();

private:
    void ask(const QString& method, std::function<void(const QDBusMessage&)> then);
    void finish(const Covered& covered);

    std::string address_;
    std::chrono::milliseconds deadline_;
    std::unique_ptr<QtPeerBus> bus_;
    ScreenSaverServiceName name_ = desktopScreenSaver();
    QTimer poll_;
    Done done_;
    int generation_ = 0, tries_ = 0;
};

} // namespace mirevo
