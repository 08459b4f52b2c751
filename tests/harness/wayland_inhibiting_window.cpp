#include "tests/harness/wayland_inhibiting_window.h"

#include <cstring>

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include "tests/harness/wayland_roundtrip.h"

namespace mirevo::test {

// How long the compositor may take over any one answer.
constexpr std::chrono::seconds kAnswer{10};

struct WaylandInhibitingWindow::Parts {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zwp_idle_inhibit_manager_v1* inhibitManager = nullptr;
    wl_surface* surface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_buffer* buffer = nullptr;
    zwp_idle_inhibitor_v1* inhibitor = nullptr;
    bool configured = false;

    ~Parts() {
        if (inhibitor) zwp_idle_inhibitor_v1_destroy(inhibitor);
        if (toplevel) xdg_toplevel_destroy(toplevel);
        if (xdgSurface) xdg_surface_destroy(xdgSurface);
        if (surface) wl_surface_destroy(surface);
        if (buffer) wl_buffer_destroy(buffer);
        if (inhibitManager) zwp_idle_inhibit_manager_v1_destroy(inhibitManager);
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
        else if (is == xdg_wm_base_interface.name)
            p->wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &xdg_wm_base_interface, 1));
        else if (is == zwp_idle_inhibit_manager_v1_interface.name)
            p->inhibitManager = static_cast<zwp_idle_inhibit_manager_v1*>(
                wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static void ping(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }
    static void configure(void* data, xdg_surface* surface, uint32_t serial) {
        xdg_surface_ack_configure(surface, serial);
        static_cast<Parts*>(data)->configured = true;
    }
    static void toplevelConfigure(void*, xdg_toplevel*, int32_t, int32_t, wl_array*) {}
    static void toplevelClose(void*, xdg_toplevel*) {}

    // A solid 64 x 64 buffer in shared memory.
    bool makeBuffer() {
        const int width = 64, height = 64, stride = width * 4, size = stride * height;
        const int fd = memfd_create("inhibiting-window", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, size) != 0) return fd >= 0 && close(fd), false;
        void* pixels = mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (pixels != MAP_FAILED) {
            std::memset(pixels, 0x80, size_t(size));
            munmap(pixels, size_t(size));
        }
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
        buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
        wl_shm_pool_destroy(pool);
        close(fd);
        return pixels != MAP_FAILED;
    }
};

namespace {
const wl_registry_listener kRegistry = {WaylandInhibitingWindow::Parts::global, WaylandInhibitingWindow::Parts::globalRemove};
const xdg_wm_base_listener kWmBase = {WaylandInhibitingWindow::Parts::ping};
const xdg_surface_listener kXdgSurface = {WaylandInhibitingWindow::Parts::configure};
const xdg_toplevel_listener kToplevel = {WaylandInhibitingWindow::Parts::toplevelConfigure,
                                         WaylandInhibitingWindow::Parts::toplevelClose, nullptr, nullptr};
} // namespace

WaylandInhibitingWindow::WaylandInhibitingWindow(const std::string& socket) : parts_(std::make_unique<Parts>()) {
    Parts& p = *parts_;
    p.display = wl_display_connect(socket.c_str());
    if (!p.display) return;
    p.registry = wl_display_get_registry(p.display);
    wl_registry_add_listener(p.registry, &kRegistry, &p);
    if (!roundtrip(p.display, kAnswer) || !p.compositor || !p.shm || !p.wmBase || !p.inhibitManager || !p.makeBuffer()) return;
    xdg_wm_base_add_listener(p.wmBase, &kWmBase, &p);
    p.surface = wl_compositor_create_surface(p.compositor);
    p.xdgSurface = xdg_wm_base_get_xdg_surface(p.wmBase, p.surface);
    xdg_surface_add_listener(p.xdgSurface, &kXdgSurface, &p);
    p.toplevel = xdg_surface_get_toplevel(p.xdgSurface);
    xdg_toplevel_add_listener(p.toplevel, &kToplevel, &p);
    xdg_toplevel_set_title(p.toplevel, "inhibiting window");
    wl_surface_commit(p.surface);
    if (!roundtrip(p.display, kAnswer) || !p.configured) return;
    p.inhibitor = zwp_idle_inhibit_manager_v1_create_inhibitor(p.inhibitManager, p.surface);
    wl_surface_attach(p.surface, p.buffer, 0, 0);
    wl_surface_damage(p.surface, 0, 0, 64, 64);
    wl_surface_commit(p.surface);
    shown_ = roundtrip(p.display, kAnswer);
}

WaylandInhibitingWindow::~WaylandInhibitingWindow() = default;

bool WaylandInhibitingWindow::release() {
    Parts& p = *parts_;
    if (!p.inhibitor) return false;
    zwp_idle_inhibitor_v1_destroy(p.inhibitor);
    p.inhibitor = nullptr;
    return roundtrip(p.display, kAnswer);
}

} // namespace mirevo::test
