#pragma once
// GNOME's idle time as the idle source: Mutter's idle monitor on the session bus
// (org.gnome.Mutter.IdleMonitor), an idle watch for the idle time and, once it fires, a user-active watch for
// the next input. Mutter offers no Wayland idle protocol, and only it sees the input of a GNOME Wayland
// session. Every call is due within a deadline; the monitor leaving the bus, or not answering, ends the
// source with one line.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QObject>

#include "common/result.h"
#include "idle/daemon/idle_source.h"
#include "idle/sources/idle_watch.h"

class QDBusPendingCallWatcher;

namespace mirevo {

class QtPeerBus;

inline constexpr const char* kMutterIdleService = "org.gnome.Mutter.IdleMonitor";
inline constexpr const char* kMutterIdlePath = "/org/gnome/Mutter/IdleMonitor/Core";

class QtMutterIdleSource : public QObject, public IdleSource {
    Q_OBJECT

public:
    // The monitor on the bus at address. Nothing, with a line, when the bus cannot be used; nothing and no
    // line when nobody serves the monitor there (this is no GNOME session).
    static Result<std::unique_ptr<QtMutterIdleSource>, std::string>
    open(const std::string& address, int timeoutSeconds, std::chrono::milliseconds deadline);
    ~QtMutterIdleSource() override;

    void start(IdleSourceEvents events) override { watch_.start(std::move(events)); }
    void suspend(bool suspended) override { watch_.suspend(suspended); }
    // Mutter takes no input from a client; SimulateUserActivity reaches GNOME's own screen-saver service
    // anyway.
    void resetIdleTimer() override {}
    int timeoutSeconds() override { return watch_.timeoutSeconds(); }
    void setTimeoutSeconds(int seconds) override { watch_.setTimeoutSeconds(seconds); }

private slots:
    void watchFired(uint id);
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void disconnected();

private:
    QtMutterIdleSource(std::unique_ptr<QtPeerBus> bus, int timeoutSeconds,
                       std::chrono::milliseconds deadline);
    // The monitor's watches, as the idle watch asks for them.
    void arm();
    void disarm();
    void addWatch(const char* method, const QList<QVariant>& arguments, uint32_t& id);
    void remove(uint32_t& id);
    void fail(const std::string& line) { watch_.lose(line); }

    std::unique_ptr<QtPeerBus> bus_;
    IdleWatch watch_;
    std::chrono::milliseconds deadline_;
    // 0: none; a watch asked for and not yet answered is kPending.
    uint32_t idleWatch_ = 0, activeWatch_ = 0;
    int generation_ = 0; // answers to watches asked for before the last disarm are removed at once
    // A watch may fire before the answer that names it is handled: the ids fired meanwhile.
    std::vector<uint32_t> firedEarly_;
};

} // namespace mirevo
