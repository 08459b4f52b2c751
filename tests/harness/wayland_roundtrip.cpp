#include "tests/harness/wayland_roundtrip.h"

#include <memory>

#include <poll.h>
#include <wayland-client.h>

namespace mirevo::test {

bool roundtrip(wl_display* display, std::chrono::milliseconds limit) {
    bool done = false;
    wl_callback* callback = wl_display_sync(display);
    static const wl_callback_listener listener = {
        [](void* d, wl_callback*, uint32_t) { *static_cast<bool*>(d) = true; }};
    wl_callback_add_listener(callback, &listener, &done);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done && std::chrono::steady_clock::now() < deadline) {
        wl_display_flush(display);
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        pollfd p{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            if (wl_display_read_events(display) < 0) break;
        } else {
            wl_display_cancel_read(display);
        }
        if (wl_display_dispatch_pending(display) < 0) break;
    }
    wl_callback_destroy(callback);
    return done;
}

bool compositorAnswers(const std::string& socket, std::chrono::milliseconds limit) {
    const std::unique_ptr<wl_display, decltype(&wl_display_disconnect)> display(
        wl_display_connect(socket.c_str()), &wl_display_disconnect);
    return display && roundtrip(display.get(), limit);
}

} // namespace mirevo::test
