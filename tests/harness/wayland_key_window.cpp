#include "tests/harness/wayland_key_window.h"

#include <cstring>

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "xdg-shell-client-protocol.h"

#include "common/posix/unique_fd.h"
#include "tests/harness/wayland_roundtrip.h"

namespace mirevo::test {

namespace {
// How long the compositor may take over any one answer.
constexpr std::chrono::seconds kAnswer{10};
constexpr int kSide = 64;
} // namespace

struct WaylandKeyWindow::Parts {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wl_surface* surface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_buffer* buffer = nullptr;
    bool configured = false, focused = false;
    int pressed = 0;

    ~Parts() {
        if (keyboard) wl_keyboard_release(keyboard);
        if (seat) wl_seat_destroy(seat);
        if (toplevel) xdg_toplevel_destroy(toplevel);
        if (xdgSurface) xdg_surface_destroy(xdgSurface);
        if (surface) wl_surface_destroy(surface);
        if (buffer) wl_buffer_destroy(buffer);
        if (wmBase) xdg_wm_base_destroy(wmBase);
        if (shm) wl_shm_destroy(shm);
        if (compositor) wl_compositor_destroy(compositor);
        if (registry) wl_registry_destroy(registry);
        if (display) wl_display_disconnect(display);
    }

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
        auto* p = static_cast<Parts*>(data);
        const std::string is = interface;
        if (is == wl_compositor_interface.name)
            p->compositor = static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 4));
        else if (is == wl_shm_interface.name)
            p->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        else if (is == wl_seat_interface.name && !p->seat)
            p->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 5));
        else if (is == xdg_wm_base_interface.name)
            p->wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static void ping(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }
    static void configure(void* data, xdg_surface* surface, uint32_t serial) {
        xdg_surface_ack_configure(surface, serial);
        static_cast<Parts*>(data)->configured = true;
    }
    static void toplevelConfigure(void*, xdg_toplevel*, int32_t, int32_t, wl_array*) {}
    static void toplevelClose(void*, xdg_toplevel*) {}

    static void capabilities(void* data, wl_seat* seat, uint32_t capabilities);
    static void seatName(void*, wl_seat*, const char*) {}
    static void keymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { UniqueFd closed(fd); }
    static void enter(void* data, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {
        static_cast<Parts*>(data)->focused = true;
    }
    static void leave(void* data, wl_keyboard*, uint32_t, wl_surface*) { static_cast<Parts*>(data)->focused = false; }
    static void key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state) {
        static_cast<Parts*>(data)->pressed += state == WL_KEYBOARD_KEY_STATE_PRESSED;
    }
    static void modifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void repeat(void*, wl_keyboard*, int32_t, int32_t) {}

    // A solid grey buffer in shared memory.
    bool makeBuffer() {
        const int stride = kSide * 4, size = stride * kSide;
        UniqueFd fd(memfd_create("key-window", MFD_CLOEXEC));
        if (!fd.valid() || ftruncate(fd.get(), size) != 0) return false;
        void* pixels = mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
        if (pixels == MAP_FAILED) return false;
        std::memset(pixels, 0x60, size_t(size));
        munmap(pixels, size_t(size));
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd.get(), size);
        buffer = wl_shm_pool_create_buffer(pool, 0, kSide, kSide, stride, WL_SHM_FORMAT_XRGB8888);
        wl_shm_pool_destroy(pool);
        return true;
    }
};

namespace {
using Parts = WaylandKeyWindow::Parts;
const wl_registry_listener kRegistry = {Parts::global, Parts::globalRemove};
const wl_seat_listener kSeat = {Parts::capabilities, Parts::seatName};
const wl_keyboard_listener kKeyboard = {Parts::keymap, Parts::enter, Parts::leave, Parts::key, Parts::modifiers,
                                        Parts::repeat};
const xdg_wm_base_listener kWmBase = {Parts::ping};
const xdg_surface_listener kXdgSurface = {Parts::configure};
const xdg_toplevel_listener kToplevel = {Parts::toplevelConfigure, Parts::toplevelClose, nullptr, nullptr};
} // namespace

void WaylandKeyWindow::Parts::capabilities(void* data, wl_seat* seat, uint32_t capabilities) {
    auto* p = static_cast<Parts*>(data);
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !p->keyboard) {
        p->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(p->keyboard, &kKeyboard, p);
    }
}

WaylandKeyWindow::WaylandKeyWindow(const std::string& socket) : parts_(std::make_unique<Parts>()) {
    Parts& p = *parts_;
    p.display = wl_display_connect(socket.c_str());
    if (!p.display) return;
    p.registry = wl_display_get_registry(p.display);
    wl_registry_add_listener(p.registry, &kRegistry, &p);
    if (!roundtrip(p.display, kAnswer) || !p.compositor || !p.shm || !p.wmBase || !p.seat || !p.makeBuffer()) return;
    wl_seat_add_listener(p.seat, &kSeat, &p);
    xdg_wm_base_add_listener(p.wmBase, &kWmBase, &p);
    p.surface = wl_compositor_create_surface(p.compositor);
    p.xdgSurface = xdg_wm_base_get_xdg_surface(p.wmBase, p.surface);
    xdg_surface_add_listener(p.xdgSurface, &kXdgSurface, &p);
    p.toplevel = xdg_surface_get_toplevel(p.xdgSurface);
    xdg_toplevel_add_listener(p.toplevel, &kToplevel, &p);
    xdg_toplevel_set_title(p.toplevel, "key window");
    wl_surface_commit(p.surface);
    if (!roundtrip(p.display, kAnswer) || !p.configured) return;
    wl_surface_attach(p.surface, p.buffer, 0, 0);
    wl_surface_damage(p.surface, 0, 0, kSide, kSide);
    wl_surface_commit(p.surface);
    shown_ = roundtrip(p.display, kAnswer);
}

WaylandKeyWindow::~WaylandKeyWindow() = default;

bool WaylandKeyWindow::holdsKeyboard() {
    return roundtrip(parts_->display, kAnswer) && parts_->focused;
}

int WaylandKeyWindow::keysPressed() {
    roundtrip(parts_->display, kAnswer);
    return parts_->pressed;
}

} // namespace mirevo::test
