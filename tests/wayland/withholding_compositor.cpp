// A Wayland compositor with two 320 x 240 outputs, shared memory buffers and the layer shell, that answers
// frame callbacks 60 times a second on the second output only and never on the first (as a real one does
// not for an output that shows nothing). Each commit of a buffer is said on standard output as
// "commit <output 0 or 1>". Listens at the socket of that name in XDG_RUNTIME_DIR; ends on SIGTERM.
//   withholding_compositor NAME
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include <unistd.h>
#include <wayland-server.h>

#include "wlr-layer-shell-unstable-v1-server-protocol.h"

namespace {

constexpr int kOutputs = 2, kWidth = 320, kHeight = 240;
constexpr int kAnsweredOutput = 1;

wl_display* display = nullptr;

struct Surface {
    int output = -1;
    wl_resource* buffer = nullptr; // attached, not yet committed
    bool configured = false;
    std::vector<wl_resource*> pendingFrames; // asked for, not yet committed
};
std::map<wl_resource*, std::unique_ptr<Surface>> surfaces;
// Committed frame callbacks and the output each waits on.
std::map<wl_resource*, int> frames;
std::map<wl_resource*, int> outputOf; // wl_output resources

void destroyResource(wl_client*, wl_resource* resource) {
    wl_resource_destroy(resource);
}

// Buffers: nothing is read from them; each goes back to the client as soon as it is committed.
const struct wl_buffer_interface kBuffer = {destroyResource};
void createBuffer(wl_client* client, wl_resource* pool, uint32_t id, int32_t, int32_t, int32_t, int32_t, uint32_t) {
    wl_resource* buffer = wl_resource_create(client, &wl_buffer_interface, 1, id);
    wl_resource_set_implementation(buffer, &kBuffer, nullptr, nullptr);
    (void)pool;
}
void resizePool(wl_client*, wl_resource*, int32_t) {}
const struct wl_shm_pool_interface kPool = {createBuffer, destroyResource, resizePool};
void createPool(wl_client* client, wl_resource* shm, uint32_t id, int32_t fd, int32_t) {
    ::close(fd);
    wl_resource* pool = wl_resource_create(client, &wl_shm_pool_interface, wl_resource_get_version(shm), id);
    wl_resource_set_implementation(pool, &kPool, nullptr, nullptr);
}
const struct wl_shm_interface kShm = {createPool};
void bindShm(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* shm = wl_resource_create(client, &wl_shm_interface, int(version), id);
    wl_resource_set_implementation(shm, &kShm, nullptr, nullptr);
    wl_shm_send_format(shm, WL_SHM_FORMAT_ARGB8888);
    wl_shm_send_format(shm, WL_SHM_FORMAT_XRGB8888);
}

void frameGone(wl_resource* callback) {
    frames.erase(callback);
    for (auto& [resource, surface] : surfaces) {
        auto& pending = surface->pendingFrames;
        for (auto it = pending.begin(); it != pending.end();)
            it = *it == callback ? pending.erase(it) : it + 1;
    }
}

Surface& surfaceOf(wl_resource* resource) {
    return *surfaces.at(resource);
}
void attach(wl_client*, wl_resource* resource, wl_resource* buffer, int32_t, int32_t) {
    surfaceOf(resource).buffer = buffer;
}
void damage(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
void frame(wl_client* client, wl_resource* resource, uint32_t id) {
    wl_resource* callback = wl_resource_create(client, &wl_callback_interface, 1, id);
    wl_resource_set_implementation(callback, nullptr, nullptr, frameGone);
    surfaceOf(resource).pendingFrames.push_back(callback);
}
void setRegion(wl_client*, wl_resource*, wl_resource*) {}
void commit(wl_client*, wl_resource* resource) {
    Surface& surface = surfaceOf(resource);
    for (wl_resource* callback : surface.pendingFrames)
        frames[callback] = surface.output;
    surface.pendingFrames.clear();
    if (surface.buffer) {
        wl_buffer_send_release(surface.buffer);
        surface.buffer = nullptr;
        std::printf("commit %d\n", surface.output);
        std::fflush(stdout);
    }
}
void setInt(wl_client*, wl_resource*, int32_t) {}
void offset(wl_client*, wl_resource*, int32_t, int32_t) {}
const struct wl_surface_interface kSurface = {destroyResource, attach, damage, frame, setRegion, setRegion,
                                              commit, setInt, setInt, damage, offset};
void surfaceGone(wl_resource* resource) {
    surfaces.erase(resource);
}

const struct wl_region_interface kRegion = {destroyResource, damage, damage};
void createSurface(wl_client* client, wl_resource* compositor, uint32_t id) {
    wl_resource* resource = wl_resource_create(client, &wl_surface_interface, wl_resource_get_version(compositor), id);
    wl_resource_set_implementation(resource, &kSurface, nullptr, surfaceGone);
    surfaces[resource] = std::make_unique<Surface>();
}
void createRegion(wl_client* client, wl_resource*, uint32_t id) {
    wl_resource* region = wl_resource_create(client, &wl_region_interface, 1, id);
    wl_resource_set_implementation(region, &kRegion, nullptr, nullptr);
}
const struct wl_compositor_interface kCompositor = {createSurface, createRegion};
void bindCompositor(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* compositor = wl_resource_create(client, &wl_compositor_interface, int(version), id);
    wl_resource_set_implementation(compositor, &kCompositor, nullptr, nullptr);
}

const struct wl_output_interface kOutput = {destroyResource};
void outputGone(wl_resource* resource) {
    outputOf.erase(resource);
}
void bindOutput(wl_client* client, void* data, uint32_t version, uint32_t id) {
    const int index = int(reinterpret_cast<intptr_t>(data));
    wl_resource* output = wl_resource_create(client, &wl_output_interface, int(version), id);
    wl_resource_set_implementation(output, &kOutput, nullptr, outputGone);
    outputOf[output] = index;
    wl_output_send_geometry(output, index * kWidth, 0, 0, 0, WL_OUTPUT_SUBPIXEL_UNKNOWN, "Mirevo", "Withholding",
                            WL_OUTPUT_TRANSFORM_NORMAL);
    wl_output_send_mode(output, WL_OUTPUT_MODE_CURRENT, kWidth, kHeight, 60000);
    if (version >= 2) wl_output_send_scale(output, 1), wl_output_send_done(output);
}

// The layer shell: every surface covers its output at once.
void setSize(wl_client*, wl_resource*, uint32_t, uint32_t) {}
void setUint(wl_client*, wl_resource*, uint32_t) {}
void setMargin(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
void getPopup(wl_client*, wl_resource*, wl_resource*) {}
const struct zwlr_layer_surface_v1_interface kLayerSurface = {setSize,  setUint,   setInt,          setMargin, setUint,
                                                              getPopup, setUint,   destroyResource, setUint};
void getLayerSurface(wl_client* client, wl_resource* shell, uint32_t id, wl_resource* surfaceResource,
                     wl_resource* output, uint32_t, const char*) {
    wl_resource* layer =
        wl_resource_create(client, &zwlr_layer_surface_v1_interface, wl_resource_get_version(shell), id);
    wl_resource_set_implementation(layer, &kLayerSurface, nullptr, nullptr);
    Surface& surface = surfaceOf(surfaceResource);
    surface.output = output && outputOf.count(output) ? outputOf[output] : 0;
    zwlr_layer_surface_v1_send_configure(layer, wl_display_next_serial(display), kWidth, kHeight);
}
const struct zwlr_layer_shell_v1_interface kLayerShell = {getLayerSurface, destroyResource};
void bindLayerShell(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* shell = wl_resource_create(client, &zwlr_layer_shell_v1_interface, int(version), id);
    wl_resource_set_implementation(shell, &kLayerShell, nullptr, nullptr);
}

// The answered output's refresh: every callback committed there is done.
wl_event_source* refresh = nullptr;
int answerFrames(void*) {
    std::vector<wl_resource*> due;
    for (const auto& [callback, output] : frames)
        if (output == kAnsweredOutput) due.push_back(callback);
    for (wl_resource* callback : due) {
        wl_callback_send_done(callback, 0);
        wl_resource_destroy(callback);
    }
    wl_event_source_timer_update(refresh, 16);
    return 0;
}

int stop(int, void*) {
    wl_display_terminate(display);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return std::fprintf(stderr, "usage: withholding_compositor SOCKET\n"), 2;
    display = wl_display_create();
    if (wl_display_add_socket(display, argv[1]) != 0) return std::fprintf(stderr, "cannot listen at %s\n", argv[1]), 1;
    wl_global_create(display, &wl_compositor_interface, 4, nullptr, bindCompositor);
    wl_global_create(display, &wl_shm_interface, 1, nullptr, bindShm);
    for (intptr_t i = 0; i < kOutputs; ++i)
        wl_global_create(display, &wl_output_interface, 2, reinterpret_cast<void*>(i), bindOutput);
    wl_global_create(display, &zwlr_layer_shell_v1_interface, 3, nullptr, bindLayerShell);
    wl_event_loop* loop = wl_display_get_event_loop(display);
    wl_event_loop_add_signal(loop, SIGTERM, stop, nullptr);
    wl_event_loop_add_signal(loop, SIGINT, stop, nullptr);
    refresh = wl_event_loop_add_timer(loop, answerFrames, nullptr);
    wl_event_source_timer_update(refresh, 16);
    std::printf("ready\n");
    std::fflush(stdout);
    wl_display_run(display);
    wl_display_destroy_clients(display);
    wl_display_destroy(display);
    return 0;
}
