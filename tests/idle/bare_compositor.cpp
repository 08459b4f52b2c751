// A Wayland compositor with nothing but a seat, for the idle sources a real one cannot show here: with
// --ext-idle it offers ext-idle-notify-v1 and says idled once a notification's time has passed (no input ever
// comes); without it, no idle protocol at all (as GNOME's Mutter). Listens at the socket of that name in
// XDG_RUNTIME_DIR; ends on SIGTERM.
//   bare_compositor NAME [--ext-idle]
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include <wayland-server.h>

#include "ext-idle-notify-v1-server-protocol.h"

namespace {

struct Notification {
    wl_resource* resource = nullptr;
    wl_event_source* timer = nullptr;
    ~Notification() {
        if (timer) wl_event_source_remove(timer);
    }
};
std::map<wl_resource*, std::unique_ptr<Notification>> notifications;
wl_display* display = nullptr;

void destroyResource(wl_client*, wl_resource* resource) {
    wl_resource_destroy(resource);
}

const struct wl_seat_interface kSeat = {nullptr, nullptr, nullptr, destroyResource};
const struct ext_idle_notification_v1_interface kNotification = {destroyResource};

int idled(void* data) {
    auto* notification = static_cast<Notification*>(data);
    ext_idle_notification_v1_send_idled(notification->resource);
    return 0;
}

void notificationGone(wl_resource* resource) {
    notifications.erase(resource);
}

void getIdleNotification(wl_client* client, wl_resource* notifier, uint32_t id, uint32_t timeout, wl_resource*) {
    wl_resource* resource =
        wl_resource_create(client, &ext_idle_notification_v1_interface, wl_resource_get_version(notifier), id);
    auto notification = std::make_unique<Notification>();
    notification->resource = resource;
    notification->timer =
        wl_event_loop_add_timer(wl_display_get_event_loop(display), idled, notification.get());
    wl_event_source_timer_update(notification->timer, int(timeout ? timeout : 1));
    wl_resource_set_implementation(resource, &kNotification, nullptr, notificationGone);
    notifications[resource] = std::move(notification);
}

const struct ext_idle_notifier_v1_interface kNotifier = {destroyResource, getIdleNotification};

void bindSeat(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* seat = wl_resource_create(client, &wl_seat_interface, int(version), id);
    wl_resource_set_implementation(seat, &kSeat, nullptr, nullptr);
    wl_seat_send_capabilities(seat, 0);
}

void bindNotifier(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* notifier = wl_resource_create(client, &ext_idle_notifier_v1_interface, int(version), id);
    wl_resource_set_implementation(notifier, &kNotifier, nullptr, nullptr);
}

int stop(int, void*) {
    wl_display_terminate(display);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return std::fprintf(stderr, "usage: bare_compositor SOCKET [--ext-idle]\n"), 2;
    display = wl_display_create();
    if (wl_display_add_socket(display, argv[1]) != 0) return std::fprintf(stderr, "cannot listen at %s\n", argv[1]), 1;
    wl_global_create(display, &wl_seat_interface, 1, nullptr, bindSeat);
    if (argc > 2 && std::strcmp(argv[2], "--ext-idle") == 0)
        wl_global_create(display, &ext_idle_notifier_v1_interface, 1, nullptr, bindNotifier);
    wl_event_loop* loop = wl_display_get_event_loop(display);
    wl_event_loop_add_signal(loop, SIGTERM, stop, nullptr);
    wl_event_loop_add_signal(loop, SIGINT, stop, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    wl_display_run(display);
    wl_display_destroy_clients(display);
    notifications.clear();
    wl_display_destroy(display);
    return 0;
}
