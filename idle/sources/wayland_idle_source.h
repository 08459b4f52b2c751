#pragma once
// The compositor's own idle timer as the idle source: ext-idle-notify-v1 where it is offered, else KDE's
// org_kde_kwin_idle. The compositor counts input of every client and holds the timer while any client
// inhibits idleness (zwp_idle_inhibit_manager_v1: a video player's window), so the daemon only hears when it
// passes and when input comes again. The connection's socket sleeps in the Qt event loop; nothing polls.
#include <memory>
#include <string>

#include "common/result.h"
#include "idle/daemon/idle_source.h"
#include "idle/sources/idle_watch.h"

class QSocketNotifier;
struct wl_seat;
struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;

namespace mirevo {

class WaylandConnection;

enum class WaylandIdleProtocol { ExtIdleNotify, KdeIdle };

class WaylandIdleSource : public IdleSource {
public:
    // The compositor on this connection (the one the platform choice made), through the first idle protocol
    // it offers. Nothing, with a line, when it does not answer; nothing and no line when it offers no idle
    // protocol (another source may serve), and the connection is left as it was.
    static Result<std::unique_ptr<WaylandIdleSource>, std::string>
    open(std::unique_ptr<WaylandConnection>& connection, int timeoutSeconds);
    ~WaylandIdleSource() override;
    WaylandIdleSource(const WaylandIdleSource&) = delete;
    WaylandIdleSource& operator=(const WaylandIdleSource&) = delete;

    WaylandIdleProtocol protocol() const {
        return kde_ ? WaylandIdleProtocol::KdeIdle : WaylandIdleProtocol::ExtIdleNotify;
    }

    void start(IdleSourceEvents events) override { watch_.start(std::move(events)); }
    void suspend(bool suspended) override { watch_.suspend(suspended); }
    void resetIdleTimer() override;
    int timeoutSeconds() override { return watch_.timeoutSeconds(); }
    void setTimeoutSeconds(int seconds) override { watch_.setTimeoutSeconds(seconds); }

    struct Listeners;

private:
    WaylandIdleSource(std::unique_ptr<WaylandConnection> connection, int timeoutSeconds);
    // The compositor's timer, as the watch asks for it.
    void arm();
    void disarm();
    void readEvents();
    void flush();
    void connectionLost();

    std::unique_ptr<WaylandConnection> connection_;
    IdleWatch watch_;
    wl_seat* seat_ = nullptr;
    ext_idle_notifier_v1* notifier_ = nullptr;
    ext_idle_notification_v1* notification_ = nullptr;
    org_kde_kwin_idle* kde_ = nullptr;
    org_kde_kwin_idle_timeout* kdeTimeout_ = nullptr;
    std::unique_ptr<QSocketNotifier> socket_;
};

// The protocol's name as the status and the log give it.
const char* waylandIdleProtocolName(WaylandIdleProtocol protocol);

} // namespace mirevo
