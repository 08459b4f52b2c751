#pragma once
// logind on the system bus, for locking: this session (XDG_SESSION_ID, else the session of this process), its
// Lock signal (loginctl lock-session, many desktops' lock keys), the manager's PrepareForSleep, the delay
// inhibitor that holds sleep back until the screen is locked, and LockSession with the session's LockedHint
// as the sign that the desktop's locker has covered the screen. Every call is due within a deadline; logind
// leaving the bus is one line, and its return is taken up again.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QTimer>

#include "common/posix/unique_fd.h"
#include "idle/lock/covered.h"

namespace mirevo {

class QtPeerBus;

class QtLogind : public QObject {
    Q_OBJECT

public:
    struct Events {
        std::function<void(bool)> prepareForSleep;
        std::function<void()> lock;
        std::function<void(const std::string&)> line;
    };
    using Done = std::function<void(const Covered& covered)>;

    // DBUS_SYSTEM_BUS_ADDRESS, else the system bus's usual socket.
    static std::string systemBusAddress();

    QtLogind(std::string address, std::chrono::milliseconds deadline);
    ~QtLogind() override;

    // Connects and finds the session, waiting at most a few deadlines.
    void open();
    // Signals are told from now on.
    void start(Events events) { events_ = std::move(events); }
    bool hasSession() const { return !sessionId_.isEmpty(); }
    // Why there is no session to lock or to hear, and why sleep cannot be held back; empty when all is well.
    const std::string& sessionProblem() const { return sessionProblem_; }
    const std::string& sleepProblem() const { return sleepProblem_; }

    // Takes (true) or gives back (false) the sleep delay inhibitor.
    void holdSleep(bool hold);
    // Asks logind to lock the session (unless ask is false: logind has asked already), then waits for the
    // session's LockedHint; done once, unless cancelled first.
    void lockSession(bool ask, Done done);
    void cancel();

private slots:
    void preparingForSleep(bool sleeping);
    void sessionLocked();
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void disconnected();

private:
    std::string findSession();
    void takeInhibitor();
    void pollLockedHint();
    void finish(const Covered& covered);
    void say(const std::string& line);

    std::string address_;
    std::chrono::milliseconds deadline_;
    std::unique_ptr<QtPeerBus> bus_;
    Events events_;
    QString sessionPath_, sessionId_;
    std::string sessionProblem_, sleepProblem_;
    UniqueFd inhibitor_;
    bool wantInhibitor_ = false, inhibitorAsked_ = false, gone_ = false;
    QTimer lockedHintPoll_;
    Done done_;
    int generation_ = 0; // answers for a cancelled lock are dropped
};

} // namespace mirevo
