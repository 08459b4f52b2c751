#include "idle/sources/wayland_idle_source.h"

#include <cerrno>

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>

#include <wayland-client.h>

#include "common/wayland/wayland_connection.h"
#include "ext-idle-notify-v1-client-protocol.h"
#include "kde-idle-client-protocol.h"

namespace mirevo {

using namespace std::chrono_literals;

struct WaylandIdleSource::Listeners {
    static IdleWatch& watch(void* data) { return static_cast<WaylandIdleSource*>(data)->watch_; }
    static void idled(void* data, ext_idle_notification_v1*) { watch(data).idled(); }
    static void resumed(void* data, ext_idle_notification_v1*) { watch(data).resumed(); }
    static void kdeIdle(void* data, org_kde_kwin_idle_timeout*) { watch(data).idled(); }
    static void kdeResumed(void* data, org_kde_kwin_idle_timeout*) { watch(data).resumed(); }
};

namespace {
const ext_idle_notification_v1_listener kExtListener = {WaylandIdleSource::Listeners::idled,
                                                        WaylandIdleSource::Listeners::resumed};
const org_kde_kwin_idle_timeout_listener kKdeListener = {WaylandIdleSource::Listeners::kdeIdle,
                                                         WaylandIdleSource::Listeners::kdeResumed};
} // namespace

const char* waylandIdleProtocolName(WaylandIdleProtocol protocol) {
    return protocol == WaylandIdleProtocol::KdeIdle ? "KDE's idle protocol, org_kde_kwin_idle"
                                                    : "ext-idle-notify-v1";
}

Result<std::unique_ptr<WaylandIdleSource>, std::string>
WaylandIdleSource::open(std::unique_ptr<WaylandConnection>& connection, int timeoutSeconds) {
    const bool ext = connection->globalVersion(ext_idle_notifier_v1_interface.name) > 0;
    const bool kde = connection->globalVersion(org_kde_kwin_idle_interface.name) > 0;
    if ((!ext && !kde) || connection->globalVersion(wl_seat_interface.name) == 0)
        return Failure(std::string());
    std::unique_ptr<WaylandIdleSource> source(new WaylandIdleSource(std::move(connection), timeoutSeconds));
    WaylandConnection& c = *source->connection_;
    // Idleness is the seat's: the first one is the user's keyboard and pointer.
    source->seat_ = static_cast<wl_seat*>(c.bind(&wl_seat_interface, 1));
    if (ext)
        source->notifier_ = static_cast<ext_idle_notifier_v1*>(c.bind(&ext_idle_notifier_v1_interface, 1));
    else
        source->kde_ = static_cast<org_kde_kwin_idle*>(c.bind(&org_kde_kwin_idle_interface, 1));
    if (!c.roundtrip(5s)) return Failure("the Wayland compositor does not answer");
    return source;
}

WaylandIdleSource::WaylandIdleSource(std::unique_ptr<WaylandConnection> connection, int timeoutSeconds)
    : connection_(std::move(connection)), watch_(timeoutSeconds, {[this] { arm(); }, [this] { disarm(); }}) {
    socket_ =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(connection_->display()), QSocketNotifier::Read);
    QObject::connect(socket_.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    // Events read while waiting for a roundtrip are handled, and requests sent, before the loop sleeps.
    QObject::connect(QAbstractEventDispatcher::instance(QThread::currentThread()),
                     &QAbstractEventDispatcher::aboutToBlock, socket_.get(), [this] {
                         if (watch_.lost()) return;
                         if (wl_display_dispatch_pending(connection_->display()) < 0) return connectionLost();
                         flush();
                     });
}

WaylandIdleSource::~WaylandIdleSource() {
    watch_.stop(); // a connection lost on the way out is no news
    socket_.reset();
    disarm();
    if (notifier_) ext_idle_notifier_v1_destroy(notifier_);
    if (kde_) org_kde_kwin_idle_destroy(kde_);
    if (seat_) wl_seat_destroy(seat_);
}

void WaylandIdleSource::arm() {
    const uint32_t ms = uint32_t(watch_.timeoutSeconds()) * 1000;
    if (notifier_) {
        notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, ms, seat_);
        ext_idle_notification_v1_add_listener(notification_, &kExtListener, this);
    } else if (kde_) {
        kdeTimeout_ = org_kde_kwin_idle_get_idle_timeout(kde_, seat_, ms);
        org_kde_kwin_idle_timeout_add_listener(kdeTimeout_, &kKdeListener, this);
    }
    flush();
}

void WaylandIdleSource::disarm() {
    if (notification_) ext_idle_notification_v1_destroy(notification_);
    if (kdeTimeout_) org_kde_kwin_idle_timeout_release(kdeTimeout_);
    notification_ = nullptr;
    kdeTimeout_ = nullptr;
    flush();
}

void WaylandIdleSource::resetIdleTimer() {
    if (kdeTimeout_) {
        org_kde_kwin_idle_timeout_simulate_user_activity(kdeTimeout_);
        return flush();
    }
    // ext-idle-notify has no such request: a new notification counts its time from now.
    if (watch_.armed()) watch_.restart();
}

void WaylandIdleSource::flush() {
    if (!watch_.lost() && wl_display_flush(connection_->display()) < 0 && errno != EAGAIN) connectionLost();
}

void WaylandIdleSource::readEvents() {
    if (!watch_.lost() && !connection_->dispatchFor(0ms)) connectionLost();
}

void WaylandIdleSource::connectionLost() {
    if (watch_.lost()) return;
    socket_->setEnabled(false); // the socket stays readable at its end
    watch_.lose("lost the connection to the Wayland compositor");
}

} // namespace mirevo
