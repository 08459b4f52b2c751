// A Wayland compositor that records what a client's surfaces send, for the viewer's tests: outputs of
// 320 x 240 (no xdg-output, so their logical size is the mode over the scale), shared memory buffers, the
// layer shell, and frame callbacks answered 60 times a second, except on the output WITHHELD names, if any,
// where they never are (as a real compositor does not answer for an output that shows nothing). Each commit
// of a buffer is one line on standard output:
//   commit <output> <width>x<height> scale <s> opaque <x>,<y>,<w>,<h> changed <n> missed <m>
// the buffer's size and scale, the bounds of the opaque region in force (0,0,0,0 for none), how many of its
// pixels differ from the buffer committed before on that surface, and how many of those lie outside the
// damage sent with it (a first buffer, or one of another size, counts every pixel as changed).
// Commands, one a line, on the FIFO named by the second argument: "scale <output> <s>" (the output's scale
// changes; its surfaces are sized again), "add" (an output is plugged in), "remove <output>" (it is unplugged:
// its layer surfaces are closed, then its global goes). Each is answered on standard output with "did
// <command>". A buffer committed on a surface after it was closed (a frame already on its way) is not shown:
// it gives the line "late <output>". Listens at the socket of the first argument's name in XDG_RUNTIME_DIR; ends on SIGTERM.
//   recording_compositor NAME FIFO [OUTPUTS [WITHHELD]]
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-server.h>

#include "wlr-layer-shell-unstable-v1-server-protocol.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;

wl_display* display = nullptr;

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct Pool {
    int fd = -1;
    int size = 0;
    ~Pool() {
        if (fd >= 0) ::close(fd);
    }
};
struct Buffer {
    std::shared_ptr<Pool> pool;
    int offset = 0, width = 0, height = 0, stride = 0;
};
std::map<wl_resource*, Buffer> buffers;

struct Output {
    wl_global* global = nullptr;
    int scale = 1;
    std::vector<wl_resource*> resources;
};
std::vector<std::unique_ptr<Output>> outputs; // by index; a removed one stays as nullptr

struct Surface {
    int output = -1;
    wl_resource* layer = nullptr;
    wl_resource* attached = nullptr; // attached, not yet committed
    bool attachPending = false;
    int scale = 1, pendingScale = 1;
    Rect opaque, pendingOpaque;
    std::vector<Rect> damage, bufferDamage; // pending, as sent
    std::vector<wl_resource*> pendingFrames;
    std::vector<uint32_t> shown; // the last buffer's pixels
    int shownWidth = 0, shownHeight = 0;
    bool closed = false; // its layer surface was closed: nothing it commits is shown
};
std::map<wl_resource*, std::unique_ptr<Surface>> surfaces;
std::map<wl_resource*, int> committedFrames; // frame callbacks waiting for the next refresh
std::map<wl_resource*, Rect> regions;        // the bounds of what was added

void destroyResource(wl_client*, wl_resource* resource) {
    wl_resource_destroy(resource);
}

// Shared memory: the pool's file is kept, so that committed buffers can be read.
void bufferGone(wl_resource* resource) {
    buffers.erase(resource);
}
const struct wl_buffer_interface kBuffer = {destroyResource};
void createBuffer(wl_client* client, wl_resource* poolResource, uint32_t id, int32_t offset, int32_t width,
                  int32_t height, int32_t stride, uint32_t) {
    wl_resource* buffer = wl_resource_create(client, &wl_buffer_interface, 1, id);
    wl_resource_set_implementation(buffer, &kBuffer, nullptr, bufferGone);
    auto* pool = static_cast<std::shared_ptr<Pool>*>(wl_resource_get_user_data(poolResource));
    buffers[buffer] = Buffer{*pool, offset, width, height, stride};
}
void resizePool(wl_client*, wl_resource* resource, int32_t size) {
    (*static_cast<std::shared_ptr<Pool>*>(wl_resource_get_user_data(resource)))->size = size;
}
void poolGone(wl_resource* resource) {
    delete static_cast<std::shared_ptr<Pool>*>(wl_resource_get_user_data(resource));
}
const struct wl_shm_pool_interface kPool = {createBuffer, destroyResource, resizePool};
void createPool(wl_client* client, wl_resource* shm, uint32_t id, int32_t fd, int32_t size) {
    wl_resource* pool = wl_resource_create(client, &wl_shm_pool_interface, wl_resource_get_version(shm), id);
    auto* owned = new std::shared_ptr<Pool>(std::make_shared<Pool>());
    (*owned)->fd = fd, (*owned)->size = size;
    wl_resource_set_implementation(pool, &kPool, owned, poolGone);
}
const struct wl_shm_interface kShm = {createPool};
void bindShm(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* shm = wl_resource_create(client, &wl_shm_interface, int(version), id);
    wl_resource_set_implementation(shm, &kShm, nullptr, nullptr);
    wl_shm_send_format(shm, WL_SHM_FORMAT_ARGB8888);
    wl_shm_send_format(shm, WL_SHM_FORMAT_XRGB8888);
}

// A buffer's pixels, 32 bits each, row by row; empty when they cannot be read.
std::vector<uint32_t> pixelsOf(const Buffer& buffer) {
    std::vector<uint32_t> pixels;
    if (!buffer.pool || buffer.pool->fd < 0 || buffer.width <= 0 || buffer.height <= 0) return pixels;
    const size_t size = size_t(buffer.pool->size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, buffer.pool->fd, 0);
    if (map == MAP_FAILED) return pixels;
    pixels.resize(size_t(buffer.width) * size_t(buffer.height));
    for (int y = 0; y < buffer.height; ++y) {
        const size_t at = size_t(buffer.offset) + size_t(y) * size_t(buffer.stride);
        if (at + size_t(buffer.width) * 4 > size) break;
        std::memcpy(&pixels[size_t(y) * size_t(buffer.width)], static_cast<const char*>(map) + at,
                    size_t(buffer.width) * 4);
    }
    ::munmap(map, size);
    // The byte no format without alpha defines.
    for (uint32_t& p : pixels)
        p &= 0xFFFFFFu;
    return pixels;
}

Surface& surfaceOf(wl_resource* resource) {
    return *surfaces.at(resource);
}
void attach(wl_client*, wl_resource* resource, wl_resource* buffer, int32_t, int32_t) {
    Surface& surface = surfaceOf(resource);
    surface.attached = buffer, surface.attachPending = true;
}
void damage(wl_client*, wl_resource* resource, int32_t x, int32_t y, int32_t width, int32_t height) {
    surfaceOf(resource).damage.push_back({x, y, width, height});
}
void damageBuffer(wl_client*, wl_resource* resource, int32_t x, int32_t y, int32_t width, int32_t height) {
    surfaceOf(resource).bufferDamage.push_back({x, y, width, height});
}
void frameGone(wl_resource* callback) {
    committedFrames.erase(callback);
    for (auto& [resource, surface] : surfaces) {
        auto& pending = surface->pendingFrames;
        pending.erase(std::remove(pending.begin(), pending.end(), callback), pending.end());
    }
}
void frame(wl_client* client, wl_resource* resource, uint32_t id) {
    wl_resource* callback = wl_resource_create(client, &wl_callback_interface, 1, id);
    wl_resource_set_implementation(callback, nullptr, nullptr, frameGone);
    surfaceOf(resource).pendingFrames.push_back(callback);
}
void setOpaqueRegion(wl_client*, wl_resource* resource, wl_resource* region) {
    surfaceOf(resource).pendingOpaque = region && regions.count(region) ? regions[region] : Rect{};
}
void setInputRegion(wl_client*, wl_resource*, wl_resource*) {}
void setBufferScale(wl_client*, wl_resource* resource, int32_t scale) {
    surfaceOf(resource).pendingScale = scale;
}
void setTransform(wl_client*, wl_resource*, int32_t) {}
void offset(wl_client*, wl_resource*, int32_t, int32_t) {}

bool inside(const std::vector<Rect>& rects, int x, int y) {
    for (const Rect& r : rects)
        if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) return true;
    return false;
}

void commit(wl_client*, wl_resource* resource) {
    Surface& surface = surfaceOf(resource);
    if (surface.closed) {
        if (surface.attachPending && surface.attached && buffers.count(surface.attached)) {
            std::printf("late %d\n", surface.output);
            std::fflush(stdout);
            wl_buffer_send_release(surface.attached);
        }
        surface.attached = nullptr, surface.attachPending = false;
        return;
    }
    for (wl_resource* callback : surface.pendingFrames)
        committedFrames[callback] = surface.output;
    surface.pendingFrames.clear();
    surface.scale = surface.pendingScale;
    surface.opaque = surface.pendingOpaque;
    if (surface.attachPending && surface.attached && buffers.count(surface.attached)) {
        const Buffer& buffer = buffers[surface.attached];
        std::vector<uint32_t> pixels = pixelsOf(buffer);
        // The damage in buffer pixels: surface damage scaled by the buffer scale.
        std::vector<Rect> damaged = surface.bufferDamage;
        for (const Rect& r : surface.damage) {
            const long s = std::max(1, surface.scale);
            const auto clampInt = [](long v) { return int(std::clamp(v, -1000000L, 1000000L)); };
            damaged.push_back({clampInt(r.x * s), clampInt(r.y * s), clampInt(long(r.width) * s),
                               clampInt(long(r.height) * s)});
        }
        const bool sameSize = surface.shownWidth == buffer.width && surface.shownHeight == buffer.height &&
                              surface.shown.size() == pixels.size();
        long changed = 0, missed = 0;
        for (int y = 0; y < buffer.height && !pixels.empty(); ++y)
            for (int x = 0; x < buffer.width; ++x) {
                const size_t at = size_t(y) * size_t(buffer.width) + size_t(x);
                if (sameSize && surface.shown[at] == pixels[at]) continue;
                ++changed;
                if (!inside(damaged, x, y)) ++missed;
            }
        std::printf("commit %d %dx%d scale %d opaque %d,%d,%d,%d changed %ld missed %ld\n", surface.output,
                    buffer.width, buffer.height, surface.scale, surface.opaque.x, surface.opaque.y,
                    surface.opaque.width, surface.opaque.height, changed, missed);
        std::fflush(stdout);
        surface.shown = std::move(pixels);
        surface.shownWidth = buffer.width, surface.shownHeight = buffer.height;
        wl_buffer_send_release(surface.attached);
    }
    surface.attached = nullptr, surface.attachPending = false;
    surface.damage.clear(), surface.bufferDamage.clear();
}
const struct wl_surface_interface kSurface = {destroyResource, attach,         damage,         frame,
                                              setOpaqueRegion, setInputRegion, commit,         setTransform,
                                              setBufferScale,  damageBuffer,   offset};
void surfaceGone(wl_resource* resource) {
    surfaces.erase(resource);
}

void regionAdd(wl_client*, wl_resource* resource, int32_t x, int32_t y, int32_t width, int32_t height) {
    Rect& r = regions[resource];
    if (r.width <= 0 || r.height <= 0) {
        r = {x, y, width, height};
        return;
    }
    const int x1 = std::max(r.x + r.width, x + width), y1 = std::max(r.y + r.height, y + height);
    r.x = std::min(r.x, x), r.y = std::min(r.y, y);
    r.width = x1 - r.x, r.height = y1 - r.y;
}
void regionSubtract(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
void regionGone(wl_resource* resource) {
    regions.erase(resource);
}
const struct wl_region_interface kRegion = {destroyResource, regionAdd, regionSubtract};
void createSurface(wl_client* client, wl_resource* compositor, uint32_t id) {
    wl_resource* resource = wl_resource_create(client, &wl_surface_interface, wl_resource_get_version(compositor), id);
    wl_resource_set_implementation(resource, &kSurface, nullptr, surfaceGone);
    surfaces[resource] = std::make_unique<Surface>();
}
void createRegion(wl_client* client, wl_resource*, uint32_t id) {
    wl_resource* region = wl_resource_create(client, &wl_region_interface, 1, id);
    wl_resource_set_implementation(region, &kRegion, nullptr, regionGone);
    regions[region] = Rect{};
}
const struct wl_compositor_interface kCompositor = {createSurface, createRegion};
void bindCompositor(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* compositor = wl_resource_create(client, &wl_compositor_interface, int(version), id);
    wl_resource_set_implementation(compositor, &kCompositor, nullptr, nullptr);
}

int outputIndexOf(wl_resource* resource) {
    for (size_t i = 0; i < outputs.size(); ++i)
        if (outputs[i] && std::count(outputs[i]->resources.begin(), outputs[i]->resources.end(), resource))
            return int(i);
    return -1;
}
const struct wl_output_interface kOutput = {destroyResource};
void outputGone(wl_resource* resource) {
    for (auto& output : outputs)
        if (output) output->resources.erase(std::remove(output->resources.begin(), output->resources.end(), resource),
                                            output->resources.end());
}
void describe(wl_resource* resource, int index) {
    const Output& output = *outputs[size_t(index)];
    wl_output_send_geometry(resource, index * kWidth, 0, 0, 0, WL_OUTPUT_SUBPIXEL_UNKNOWN, "Mirevo", "Recording",
                            WL_OUTPUT_TRANSFORM_NORMAL);
    wl_output_send_mode(resource, WL_OUTPUT_MODE_CURRENT, kWidth, kHeight, 60000);
    if (wl_resource_get_version(resource) >= 2) {
        wl_output_send_scale(resource, output.scale);
        wl_output_send_done(resource);
    }
}
void bindOutput(wl_client* client, void* data, uint32_t version, uint32_t id) {
    const int index = int(reinterpret_cast<intptr_t>(data));
    wl_resource* resource = wl_resource_create(client, &wl_output_interface, int(version), id);
    wl_resource_set_implementation(resource, &kOutput, nullptr, outputGone);
    if (!outputs[size_t(index)]) return;
    outputs[size_t(index)]->resources.push_back(resource);
    describe(resource, index);
}
void addOutput() {
    const intptr_t index = intptr_t(outputs.size());
    outputs.push_back(std::make_unique<Output>());
    outputs.back()->global =
        wl_global_create(display, &wl_output_interface, 3, reinterpret_cast<void*>(index), bindOutput);
}

// The layer shell: every surface covers its output.
void configureLayer(Surface& surface) {
    const int scale = outputs[size_t(surface.output)]->scale;
    zwlr_layer_surface_v1_send_configure(surface.layer, wl_display_next_serial(display), kWidth / scale,
                                         kHeight / scale);
}
void setSize(wl_client*, wl_resource*, uint32_t, uint32_t) {}
void setUint(wl_client*, wl_resource*, uint32_t) {}
void setInt(wl_client*, wl_resource*, int32_t) {}
void setMargin(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
void getPopup(wl_client*, wl_resource*, wl_resource*) {}
const struct zwlr_layer_surface_v1_interface kLayerSurface = {setSize,  setUint,   setInt,          setMargin, setUint,
                                                              getPopup, setUint,   destroyResource, setUint};
void layerGone(wl_resource* resource) {
    for (auto& [key, surface] : surfaces)
        if (surface->layer == resource) surface->layer = nullptr;
}
void getLayerSurface(wl_client* client, wl_resource* shell, uint32_t id, wl_resource* surfaceResource,
                     wl_resource* output, uint32_t, const char*) {
    wl_resource* layer =
        wl_resource_create(client, &zwlr_layer_surface_v1_interface, wl_resource_get_version(shell), id);
    wl_resource_set_implementation(layer, &kLayerSurface, nullptr, layerGone);
    Surface& surface = surfaceOf(surfaceResource);
    surface.output = std::max(0, outputIndexOf(output));
    surface.layer = layer;
    configureLayer(surface);
}
const struct zwlr_layer_shell_v1_interface kLayerShell = {getLayerSurface, destroyResource};
void bindLayerShell(wl_client* client, void*, uint32_t version, uint32_t id) {
    wl_resource* shell = wl_resource_create(client, &zwlr_layer_shell_v1_interface, int(version), id);
    wl_resource_set_implementation(shell, &kLayerShell, nullptr, nullptr);
}

void runCommand(const std::string& line) {
    std::istringstream in(line);
    std::string verb;
    int index = -1, scale = 1;
    in >> verb >> index >> scale;
    const bool known = index >= 0 && size_t(index) < outputs.size() && outputs[size_t(index)];
    if (verb == "add") {
        addOutput();
    } else if (verb == "scale" && known && scale >= 1) {
        outputs[size_t(index)]->scale = scale;
        for (wl_resource* resource : outputs[size_t(index)]->resources)
            describe(resource, index);
        for (auto& [key, surface] : surfaces)
            if (surface->output == index && surface->layer) configureLayer(*surface);
    } else if (verb == "remove" && known) {
        for (auto& [key, surface] : surfaces)
            if (surface->output == index && surface->layer) {
                zwlr_layer_surface_v1_send_closed(surface->layer);
                surface->closed = true;
            }
        wl_global_destroy(outputs[size_t(index)]->global);
        outputs[size_t(index)].reset();
    } else {
        std::printf("unknown %s\n", line.c_str());
        std::fflush(stdout);
        return;
    }
    std::printf("did %s\n", line.c_str());
    std::fflush(stdout);
}

std::string commandText;
int readCommands(int fd, uint32_t, void*) {
    char chunk[256];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got > 0) commandText.append(chunk, size_t(got));
    for (auto end = commandText.find('\n'); end != std::string::npos; end = commandText.find('\n')) {
        runCommand(commandText.substr(0, end));
        commandText.erase(0, end + 1);
    }
    return 0;
}

wl_event_source* refresh = nullptr;
int withheldOutput = -1;
int answerFrames(void*) {
    std::vector<wl_resource*> due;
    for (const auto& [callback, output] : committedFrames)
        if (output != withheldOutput) due.push_back(callback);
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
    if (argc < 3) return std::fprintf(stderr, "usage: recording_compositor SOCKET FIFO [OUTPUTS [WITHHELD]]\n"), 2;
    const int initialOutputs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
    withheldOutput = argc > 4 ? std::atoi(argv[4]) : -1;
    // Read and written, so that a writer closing it is no end of the file.
    const int commands = ::open(argv[2], O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (commands < 0) return std::fprintf(stderr, "cannot open %s\n", argv[2]), 1;
    display = wl_display_create();
    if (wl_display_add_socket(display, argv[1]) != 0) return std::fprintf(stderr, "cannot listen at %s\n", argv[1]), 1;
    wl_global_create(display, &wl_compositor_interface, 4, nullptr, bindCompositor);
    wl_global_create(display, &wl_shm_interface, 1, nullptr, bindShm);
    for (int i = 0; i < initialOutputs; ++i)
        addOutput();
    wl_global_create(display, &zwlr_layer_shell_v1_interface, 3, nullptr, bindLayerShell);
    wl_event_loop* loop = wl_display_get_event_loop(display);
    wl_event_loop_add_signal(loop, SIGTERM, stop, nullptr);
    wl_event_loop_add_signal(loop, SIGINT, stop, nullptr);
    wl_event_loop_add_fd(loop, commands, WL_EVENT_READABLE, readCommands, nullptr);
    refresh = wl_event_loop_add_timer(loop, answerFrames, nullptr);
    wl_event_source_timer_update(refresh, 16);
    std::printf("ready\n");
    std::fflush(stdout);
    wl_display_run(display);
    wl_display_destroy_clients(display);
    wl_display_destroy(display);
    ::close(commands);
    return 0;
}
