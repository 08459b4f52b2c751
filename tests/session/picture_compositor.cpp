// A Wayland compositor with one output and the wlroots screen copy, for the desktop pictures a real one does
// not give here. It offers no xdg-output, so a client learns the output's logical size from its mode, scale
// and transform alone. What the user sees on the output is its left half red, its right half blue; the copy
// hands that over in the output's own pixels (before the transform), in the format asked for. Listens at the
// socket of that name in XDG_RUNTIME_DIR; ends on SIGTERM.
//   picture_compositor NAME [--copy answer|silent|huge|none] [--format xrgb|xbgr] [--mode WxH] [--transform N]
//     --copy silent   a capture is taken and never answered (no buffer, no ready, no failure)
//     --copy huge     the buffer announced is 65535 x 65535
//     --copy none     no screen copy at all (as GNOME's and KDE's compositors)
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-server.h>

#include "wlr-screencopy-unstable-v1-server-protocol.h"

namespace {

wl_display* display = nullptr;
std::string copyMode = "answer";
uint32_t format = WL_SHM_FORMAT_XRGB8888;
int modeWidth = 4, modeHeight = 2, transform = 0;

constexpr uint32_t kXbgr8888 = 0x34324258;

void destroyResource(wl_client*, wl_resource* resource) {
    wl_resource_destroy(resource);
}

// Shared memory: the pools keep their file, so that a copy can be written into a buffer made from one.
struct Pool {
    int fd = -1;
    int32_t size = 0;
};
struct Buffer {
    Pool pool;
    int32_t offset = 0, width = 0, height = 0, stride = 0;
};
void bufferGone(wl_resource* resource) {
    auto* buffer = static_cast<Buffer*>(wl_resource_get_user_data(resource));
    ::close(buffer->pool.fd);
    delete buffer;
}
const struct wl_buffer_interface kBuffer = {destroyResource};
void createBuffer(wl_client* client, wl_resource* poolResource, uint32_t id, int32_t offset, int32_t width,
                  int32_t height, int32_t stride, uint32_t) {
    const auto* pool = static_cast<Pool*>(wl_resource_get_user_data(poolResource));
    auto* buffer = new Buffer{{::dup(pool->fd), pool->size}, offset, width, height, stride};
    wl_resource* resource = wl_resource_create(client, &wl_buffer_interface, 1, id);
    wl_resource_set_implementation(resource, &kBuffer, buffer, bufferGone);
}
void resizePool(wl_client*, wl_resource* resource, int32_t size) {
    static_cast<Pool*>(wl_resource_get_user_data(resource))->size = size;
}
void poolGone(wl_resource* resource) {
    auto* pool = static_cast<Pool*>(wl_resource_get_user_data(resource));
    ::close(pool->fd);
    delete pool;
}
const struct wl_shm_pool_interface kPool = {createBuffer, destroyResource, resizePool};
void createPool(wl_client* client, wl_resource* shm, uint32_t id, int32_t fd, int32_t size) {
    wl_resource* pool = wl_resource_create(client, &wl_shm_pool_interface, wl_resource_get_version(shm), id);
    wl_resource_set_implementation(pool, &kPool, new Pool{fd, size}, poolGone);
}
const struct wl_shm_interface kShm = {createPool};
void bindShm(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* shm = wl_resource_create(client, &wl_shm_interface, int(version), id);
    wl_resource_set_implementation(shm, &kShm, nullptr, nullptr);
    wl_shm_send_format(shm, WL_SHM_FORMAT_ARGB8888);
    wl_shm_send_format(shm, WL_SHM_FORMAT_XRGB8888);
}

// Surfaces are taken and shown nowhere; a frame callback is answered at once.
void attach(wl_client*, wl_resource*, wl_resource*, int32_t, int32_t) {}
void damage(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
void frame(wl_client* client, wl_resource*, uint32_t id) {
    wl_resource* callback = wl_resource_create(client, &wl_callback_interface, 1, id);
    wl_callback_send_done(callback, 0);
    wl_resource_destroy(callback);
}
void setRegion(wl_client*, wl_resource*, wl_resource*) {}
void commit(wl_client*, wl_resource*) {}
void setInt(wl_client*, wl_resource*, int32_t) {}
void offset(wl_client*, wl_resource*, int32_t, int32_t) {}
const struct wl_surface_interface kSurface = {destroyResource, attach, damage, frame, setRegion, setRegion,
                                              commit, setInt, setInt, damage, offset};
const struct wl_region_interface kRegion = {destroyResource, damage, damage};
void createSurface(wl_client* client, wl_resource* compositor, uint32_t id) {
    wl_resource* surface = wl_resource_create(client, &wl_surface_interface, wl_resource_get_version(compositor), id);
    wl_resource_set_implementation(surface, &kSurface, nullptr, nullptr);
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
void bindOutput(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* output = wl_resource_create(client, &wl_output_interface, int(version), id);
    wl_resource_set_implementation(output, &kOutput, nullptr, nullptr);
    wl_output_send_geometry(output, 0, 0, 0, 0, WL_OUTPUT_SUBPIXEL_UNKNOWN, "Mirevo", "Picture", transform);
    wl_output_send_mode(output, WL_OUTPUT_MODE_CURRENT, modeWidth, modeHeight, 60000);
    if (version >= 2) wl_output_send_scale(output, 1), wl_output_send_done(output);
}

// The copy, in the output's own pixels: left half red, right half blue along the buffer's rows, each word
// as the format has it.
void copyFrame(wl_client*, wl_resource* frame, wl_resource* bufferResource) {
    const auto* buffer = static_cast<Buffer*>(wl_resource_get_user_data(bufferResource));
    void* memory = ::mmap(nullptr, size_t(buffer->pool.size), PROT_READ | PROT_WRITE, MAP_SHARED, buffer->pool.fd, 0);
    if (memory == MAP_FAILED) return zwlr_screencopy_frame_v1_send_failed(frame);
    const bool bgr = format == kXbgr8888;
    const uint32_t red = bgr ? 0x000000FF : 0x00FF0000, blue = bgr ? 0x00FF0000 : 0x000000FF;
    for (int y = 0; y < buffer->height; ++y)
        for (int x = 0; x < buffer->width; ++x) {
            const uint32_t word = x < buffer->width / 2 ? red : blue;
            std::memcpy(static_cast<uint8_t*>(memory) + buffer->offset + size_t(y) * size_t(buffer->stride) +
                            size_t(x) * 4,
                        &word, 4);
        }
    ::munmap(memory, size_t(buffer->pool.size));
    zwlr_screencopy_frame_v1_send_flags(frame, 0);
    zwlr_screencopy_frame_v1_send_ready(frame, 0, 0, 0);
}
void copyWithDamage(wl_client* client, wl_resource* frame, wl_resource* buffer) {
    copyFrame(client, frame, buffer);
}
const struct zwlr_screencopy_frame_v1_interface kFrame = {copyFrame, destroyResource, copyWithDamage};
void captureOutput(wl_client* client, wl_resource* manager, uint32_t id, int32_t, wl_resource*) {
    wl_resource* frame =
        wl_resource_create(client, &zwlr_screencopy_frame_v1_interface, wl_resource_get_version(manager), id);
    wl_resource_set_implementation(frame, &kFrame, nullptr, nullptr);
    if (copyMode == "silent") return;
    const uint32_t width = copyMode == "huge" ? 65535 : uint32_t(modeWidth);
    const uint32_t height = copyMode == "huge" ? 65535 : uint32_t(modeHeight);
    zwlr_screencopy_frame_v1_send_buffer(frame, format, width, height, width * 4);
    if (wl_resource_get_version(frame) >= 3) zwlr_screencopy_frame_v1_send_buffer_done(frame);
}
void captureRegion(wl_client* client, wl_resource* manager, uint32_t id, int32_t overlay, wl_resource* output,
                   int32_t, int32_t, int32_t, int32_t) {
    captureOutput(client, manager, id, overlay, output);
}
const struct zwlr_screencopy_manager_v1_interface kManager = {captureOutput, captureRegion, destroyResource};
void bindManager(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* manager = wl_resource_create(client, &zwlr_screencopy_manager_v1_interface, int(version), id);
    wl_resource_set_implementation(manager, &kManager, nullptr, nullptr);
}

int stop(int, void*) {
    wl_display_terminate(display);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return std::fprintf(stderr, "usage: picture_compositor SOCKET [options]\n"), 2;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i], value = argv[i + 1];
        if (option == "--copy") copyMode = value;
        if (option == "--format") format = value == "xbgr" ? kXbgr8888 : uint32_t(WL_SHM_FORMAT_XRGB8888);
        if (option == "--mode") std::sscanf(value.c_str(), "%dx%d", &modeWidth, &modeHeight);
        if (option == "--transform") transform = std::stoi(value);
    }
    display = wl_display_create();
    if (wl_display_add_socket(display, argv[1]) != 0) return std::fprintf(stderr, "cannot listen at %s\n", argv[1]), 1;
    wl_global_create(display, &wl_compositor_interface, 4, nullptr, bindCompositor);
    wl_global_create(display, &wl_shm_interface, 1, nullptr, bindShm);
    wl_global_create(display, &wl_output_interface, 2, nullptr, bindOutput);
    if (copyMode != "none") wl_global_create(display, &zwlr_screencopy_manager_v1_interface, 3, nullptr, bindManager);
    wl_event_loop* loop = wl_display_get_event_loop(display);
    wl_event_loop_add_signal(loop, SIGTERM, stop, nullptr);
    wl_event_loop_add_signal(loop, SIGINT, stop, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    wl_display_run(display);
    wl_display_destroy_clients(display);
    wl_display_destroy(display);
    return 0;
}
