#pragma once
// mirevo-idle on the session bus: serves org.freedesktop.ScreenSaver (unless another program does) and its
// own status service, drops a caller's inhibits when it leaves the bus, and all of them when the bus goes
// (their callers can no longer release them). Every call to the bus is due within a deadline; a bus that
// does not answer in time, or goes away, leaves the X server's timer alone in charge, and the bus is tried
// again after the retry interval until one answers. A bus that is there but stuck is tried less and less
// often (up to 64 intervals apart): each try leaves a connection waiting in its socket's queue, and once
// that queue is full, connecting would wait for good. While serving, the bus is asked a question every retry
// interval: one line says when it stops answering in time (a bus daemon stopped or stuck: callers' calls
// wait with it), one when it answers again.
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QTimer>

class QDBusPendingCallWatcher;

namespace mirevo {

class IdleDaemon;
class QtScreenSaverObject;
class QtIdleStatusObject;

class QtIdleBus : public QObject {
    Q_OBJECT

public:
    struct Timing {
        std::chrono::milliseconds deadline{5000};
        std::chrono::milliseconds retry{5000};
    };
    enum class State { Connecting, Serving, Waiting }; // Waiting: for the next try

    // line: where the lines about the bus go (standard error).
    QtIdleBus(std::string address, IdleDaemon& daemon, std::function<int()> timeoutSeconds,
              std::function<void(const std::string&)> line, Timing timing);
    ~QtIdleBus() override;

    // The first try; the first change of state() reports how it went.
    void start();
    State state() const { return state_; }
    bool servesScreenSaver() const { return servesScreenSaver_; }
    void activeChanged(bool active);

signals:
    void stateChanged();

private:
    class Link;
    struct LinkDeleter {
        void operator()(Link* link) const;
    };

    void attempt();
    void registered(QDBusPendingCallWatcher* hello);
    void answered(); // one more of the calls after Hello
    void giveUp(const std::string& why, bool stuck);
    void lost(Link* link);
    void ownerLeft(const QString& owner);
    void setState(State state);
    void watch(); // asks the served bus the next question

    std::string address_;
    IdleDaemon& daemon_;
    std::function<void(const std::string&)> line_;
    Timing timing_;
    std::array<std::unique_ptr<QtScreenSaverObject>, 2> screenSavers_;
    std::unique_ptr<QtIdleStatusObject> status_;
    std::unique_ptr<Link, LinkDeleter> link_;
    QTimer deadline_, retry_, watch_;
    State state_ = State::Waiting;
    int tries_ = 0, pending_ = 0;
    std::chrono::milliseconds nextRetry_;
    bool servesScreenSaver_ = false, reported_ = false, failedSinceServing_ = false, stalled_ = false;
};

} // namespace mirevo
