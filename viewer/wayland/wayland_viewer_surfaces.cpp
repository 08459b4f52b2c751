#include "viewer/wayland/wayland_viewer_surfaces.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include "common/program_names.h"
#include "common/posix/posix_stop_signals.h"
#include "common/wayland/wayland_connection.h"
#include "viewer/scene/gl_scene.h"
#include "viewer/scene/trace.h"
#include "viewer/wayland/egl_config_choice.h"
#include "viewer/wayland/floor_damage.h"
#include "viewer/wayland/shared_frames.h"
#include "viewer/wayland/surface_buffer.h"
#include "viewer/wayland/wayland_frame_buffers.h"
#include "viewer/wayland/wayland_viewer_input.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace mirevo::viewer {

namespace {

using namespace std::chrono_literals;

// How long a compositor that closed a surface has to say that its output went (the surface then goes with
// it) before the close is taken as the end of the floor.
constexpr auto kCloseSettles = 2000ms;

struct Surface {
    WaylandViewerSurfaces::State* state = nullptr;
    uint32_t key = 0; // its number in the frame groups
    uint32_t outputId = 0;
    OutputLayout output;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    xdg_surface* shellSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wp_viewport* viewport = nullptr;
    wl_egl_window* window = nullptr;
    EGLSurface egl = EGL_NO_SURFACE;
    int width = 0, height = 0; // logical, as configured
    bool configured = false;
    bool closed = false;
    SurfaceBuffer buffer;           // the window's size now and how it is shown
    SurfaceBuffer committedBuffer;  // as the compositor was last told
    std::vector<wl_callback*> frameCallbacks; // of the frames committed and not yet answered
    PixelRect heldFloor;                      // where the floor is in the frame drawn and not yet committed
    std::optional<PixelRect> shownFloor;      // where it is in the last frame committed (nothing: unknown)

    void configure(int w, int h) {
        width = w > 0 ? w : output.logicalWidth;
        height = h > 0 ? h : output.logicalHeight;
        configured = true;
    }
};

void layerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    static_cast<Surface*>(data)->configure(int(width), int(height));
}
void layerClosed(void* data, zwlr_layer_surface_v1*) {
    static_cast<Surface*>(data)->closed = true;
}
const zwlr_layer_surface_v1_listener kLayerListener = {layerConfigure, layerClosed};

void toplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    auto* surface = static_cast<Surface*>(data);
    // Kept until the surface's configure says the set is complete.
    surface->width = width, surface->height = height;
}
void toplevelClose(void* data, xdg_toplevel*) {
    static_cast<Surface*>(data)->closed = true;
}
void toplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void toplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener kToplevelListener = {toplevelConfigure, toplevelClose, toplevelBounds,
                                                 toplevelCapabilities};
void shellSurfaceConfigure(void* data, xdg_surface* shellSurface, uint32_t serial) {
    xdg_surface_ack_configure(shellSurface, serial);
    auto* surface = static_cast<Surface*>(data);
    surface->configure(surface->width, surface->height);
}
const xdg_surface_listener kShellSurfaceListener = {shellSurfaceConfigure};
void wmPing(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener kWmListener = {wmPing};

void frameDone(void* data, wl_callback* callback, uint32_t);
const wl_callback_listener kFrameListener = {frameDone};

using SwapWithDamage = EGLBoolean (*)(EGLDisplay, EGLSurface, const EGLint*, EGLint);

// A shared frame group's framebuffer and shared-memory buffers, by the pool's numbers.
struct GroupParts {
    std::unique_ptr<GlFrameTarget> target;
    std::map<uint32_t, std::unique_ptr<ShmFrameBuffer>> buffers;
};

} // namespace

struct WaylandViewerSurfaces::State {
    Trace trace;
    std::unique_ptr<WaylandConnection> connection;
    wl_compositor* compositor = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wp_viewporter* viewporter = nullptr;
    wl_seat* seat = nullptr;
    std::unique_ptr<WaylandViewerInput> input;
    EGLDisplay eglDisplay = EGL_NO_DISPLAY;
    EGLConfig eglConfig = nullptr;
    EGLContext context = EGL_NO_CONTEXT;
    SwapWithDamage swapWithDamage = nullptr;
    std::string configDescription;
    std::vector<std::unique_ptr<Surface>> surfaces; // in frames' order
    OutputFrames frames;
    bool closed = false; // the compositor closed the floor: the run ends
    uint32_t nextKey = 1;
    // Shared frames: drawn off screen once per group, read into buffers of the viewer's own.
    bool shared = false;
    wl_shm* shm = nullptr;
    std::shared_ptr<const GlFramebufferCalls> framebufferCalls;
    FrameGroups groups;
    std::map<uint32_t, GroupParts> groupParts; // by group id
    std::string groupsTraced;

    ~State();
    size_t indexOf(const Surface* surface) const {
        for (size_t i = 0; i < surfaces.size(); ++i)
            if (surfaces[i].get() == surface) return i;
        return surfaces.size();
    }
    bool listed(uint32_t outputId) const {
        for (size_t i = 0; i < connection->outputs().size(); ++i)
            if (connection->outputId(i) == outputId) return true;
        return false;
    }
    void makeSurface(size_t outputIndex);
    void destroySurface(Surface& surface);
    void removeSurface(size_t i);
    bool makeDrawable(Surface& surface);
    void followOutput(size_t i);
    void showBlack(size_t i);
    void reconcile();
    void swap(size_t i);
    void commitShared(Surface& surface);
    // The buffer of the frame the surface waits to commit; nullptr when none.
    ShmFrameBuffer* sharedBufferOf(const Surface& surface);
    size_t surfaceIndexOf(uint32_t key) const {
        for (size_t i = 0; i < surfaces.size(); ++i)
            if (surfaces[i]->key == key) return i;
        return surfaces.size();
    }
    GlFrameTarget* targetOf(const FrameGroup& group);
    ShmFrameBuffer* bufferOf(const FrameGroup& group, uint32_t buffer);
    void syncGroups();
};

namespace {

void frameDone(void* data, wl_callback* callback, uint32_t) {
    auto* surface = static_cast<Surface*>(data);
    wl_callback_destroy(callback);
    auto& waiting = surface->frameCallbacks;
    waiting.erase(std::remove(waiting.begin(), waiting.end(), callback), waiting.end());
    const size_t i = surface->state->indexOf(surface);
    if (i < surface->state->frames.count()) surface->state->frames.callbackCame(i);
}

} // namespace

WaylandViewerSurfaces::State::~State() {
    // The framebuffers while their context is current, the buffers while the connection is there.
    groupParts.clear();
    if (eglDisplay != EGL_NO_DISPLAY) eglMakeCurrent(eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    for (auto& s : surfaces)
        destroySurface(*s);
    surfaces.clear();
    if (eglDisplay != EGL_NO_DISPLAY) {
        if (context != EGL_NO_CONTEXT) eglDestroyContext(eglDisplay, context);
        eglTerminate(eglDisplay);
    }
    input.reset();
    if (shm) wl_shm_destroy(shm);
    if (seat) wl_seat_destroy(seat);
    if (viewporter) wp_viewporter_destroy(viewporter);
    if (layerShell) zwlr_layer_shell_v1_destroy(layerShell);
    if (wmBase) xdg_wm_base_destroy(wmBase);
    if (compositor) wl_compositor_destroy(compositor);
    connection.reset();
}

// A surface over output outputIndex, not yet placed: reconcile() makes it drawable once the compositor has
// sized it.
void WaylandViewerSurfaces::State::makeSurface(size_t outputIndex) {
    auto surface = std::make_unique<Surface>();
    surface->state = this;
    surface->key = nextKey++;
    surface->outputId = connection->outputId(outputIndex);
    surface->output = connection->outputs()[outputIndex];
    wl_output* output = connection->output(outputIndex);
    surface->surface = wl_compositor_create_surface(compositor);
    if (viewporter) surface->viewport = wp_viewporter_get_viewport(viewporter, surface->surface);
    if (layerShell) {
        surface->layer = zwlr_layer_shell_v1_get_layer_surface(layerShell, surface->surface, output,
                                                               ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "mirevo");
        zwlr_layer_surface_v1_add_listener(surface->layer, &kLayerListener, surface.get());
        zwlr_layer_surface_v1_set_anchor(surface->layer,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(surface->layer, 0, 0);
        // Over the panels' reserved strips too.
        zwlr_layer_surface_v1_set_exclusive_zone(surface->layer, -1);
        // Every key comes to the floor while it shows, none to the windows under it.
        zwlr_layer_surface_v1_set_keyboard_interactivity(surface->layer,
                                                         ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    } else {
        surface->shellSurface = xdg_wm_base_get_xdg_surface(wmBase, surface->surface);
        xdg_surface_add_listener(surface->shellSurface, &kShellSurfaceListener, surface.get());
        surface->toplevel = xdg_surface_get_toplevel(surface->shellSurface);
        xdg_toplevel_add_listener(surface->toplevel, &kToplevelListener, surface.get());
        xdg_toplevel_set_title(surface->toplevel, kViewerWindowTitle);
        xdg_toplevel_set_app_id(surface->toplevel, "io.github.mirevo.Mirevo");
        xdg_toplevel_set_fullscreen(surface->toplevel, output);
    }
    wl_surface_commit(surface->surface);
    surfaces.push_back(std::move(surface));
    frames.add();
}

void WaylandViewerSurfaces::State::destroySurface(Surface& s) {
    for (wl_callback* callback : s.frameCallbacks)
        wl_callback_destroy(callback);
    s.frameCallbacks.clear();
    if (s.egl != EGL_NO_SURFACE) {
        // Not current when it goes (EGL would keep it until it is no longer).
        if (eglGetCurrentSurface(EGL_DRAW) == s.egl)
            eglMakeCurrent(eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, context);
        eglDestroySurface(eglDisplay, s.egl);
        s.egl = EGL_NO_SURFACE;
    }
    if (s.window) wl_egl_window_destroy(s.window);
    if (s.viewport) wp_viewport_destroy(s.viewport);
    if (s.layer) zwlr_layer_surface_v1_destroy(s.layer);
    if (s.toplevel) xdg_toplevel_destroy(s.toplevel);
    if (s.shellSurface) xdg_surface_destroy(s.shellSurface);
    if (s.surface) wl_surface_destroy(s.surface);
    s.window = nullptr, s.viewport = nullptr, s.layer = nullptr, s.toplevel = nullptr, s.shellSurface = nullptr,
    s.surface = nullptr;
}

void WaylandViewerSurfaces::State::removeSurface(size_t i) {
    trace.mark("output-gone", surfaces[i]->output.name);
    const uint32_t key = surfaces[i]->key;
    groups.remove(key);
    for (auto& [id, parts] : groupParts)
        for (auto& [number, buffer] : parts.buffers)
            buffer->forget(key);
    destroySurface(*surfaces[i]);
    surfaces.erase(surfaces.begin() + long(i));
    frames.remove(i);
}

// Its window and EGL surface, at the buffer its output asks for.
bool WaylandViewerSurfaces::State::makeDrawable(Surface& s) {
    s.buffer = planSurfaceBuffer(s.width, s.height, s.output, wl_compositor_get_version(compositor) >= 3,
                                 s.viewport != nullptr);
    if (shared) {
        groups.place(s.key, s.buffer);
        return true;
    }
    s.window = wl_egl_window_create(s.surface, s.buffer.width, s.buffer.height);
    s.egl = s.window ? eglCreatePlatformWindowSurface(eglDisplay, eglConfig, s.window, nullptr) : EGL_NO_SURFACE;
    if (s.egl == EGL_NO_SURFACE || !eglMakeCurrent(eglDisplay, s.egl, s.egl, context)) return false;
    // Each swap returns at once, so that one output's surface never waits for another's: swap() asks for each
    // frame's callback itself, and the frame loop gives a surface no more frames than the compositor shows.
    eglSwapInterval(eglDisplay, 0);
    return true;
}

// The surface's buffer follows its output's scale and mode and the size the compositor gave it; a frame
// drawn for the old buffer is drawn again, and the next one shown tells the compositor the whole surface
// changed.
void WaylandViewerSurfaces::State::followOutput(size_t i) {
    Surface& s = *surfaces[i];
    const SurfaceBuffer wanted = planSurfaceBuffer(s.width, s.height, s.output,
                                                   wl_compositor_get_version(compositor) >= 3, s.viewport != nullptr);
    if (wanted == s.buffer) return;
    s.buffer = wanted;
    if (shared)
        groups.place(s.key, wanted);
    else
        wl_egl_window_resize(s.window, wanted.width, wanted.height, 0, 0);
    frames.discard(i);
    s.shownFloor.reset();
}

// Black at once on a surface just made drawable, so that its output is covered before its first floor.
void WaylandViewerSurfaces::State::showBlack(size_t i) {
    Surface& s = *surfaces[i];
    if (shared) {
        const FrameGroup* group = groups.groupOf(s.key);
        if (!group) return;
        const auto number = groups.group(group->id)->pool.take();
        ShmFrameBuffer* buffer = number ? bufferOf(*group, *number) : nullptr;
        // None free: its first floor covers it instead.
        if (!buffer) return;
        if (!buffer->floor || !buffer->floor->empty())
            std::memset(buffer->rows(), 0, size_t(buffer->stride()) * size_t(group->buffer.height));
        buffer->floor = PixelRect{};
        groups.frameFor(s.key, *number);
        s.heldFloor = {};
        swap(i);
        return;
    }
    eglMakeCurrent(eglDisplay, s.egl, s.egl, context);
    setViewport(s.buffer.width, s.buffer.height);
    clearScreen();
    s.heldFloor = {};
    swap(i);
}

// After events: surfaces for outputs plugged in, none for those unplugged, buffers that follow their
// outputs, and a close that was not an output's going ends the floor.
void WaylandViewerSurfaces::State::reconcile() {
    for (auto& s : surfaces)
        if (s->closed && listed(s->outputId)) {
            // The compositor may say that the output went after it closed the surface: ask it to answer
            // everything it has sent so far, then look again.
            connection->roundtrip(kCloseSettles);
            break;
        }
    for (size_t i = surfaces.size(); i-- > 0;) {
        Surface& s = *surfaces[i];
        if (!listed(s.outputId))
            removeSurface(i);
        else if (s.closed)
            closed = true;
    }
    const auto& outputs = connection->outputs();
    for (size_t o = 0; o < outputs.size(); ++o) {
        const uint32_t id = connection->outputId(o);
        auto it = std::find_if(surfaces.begin(), surfaces.end(), [&](const auto& s) { return s->outputId == id; });
        if (it == surfaces.end()) {
            trace.mark("output-added", outputs[o].name);
            makeSurface(o);
        } else {
            (*it)->output = outputs[o];
        }
    }
    if (context == EGL_NO_CONTEXT) return; // still being opened: surfaces are made drawable then
    for (size_t i = 0; i < surfaces.size(); ++i) {
        Surface& s = *surfaces[i];
        if (!s.configured) continue;
        if (s.window || (shared && groups.groupOf(s.key))) {
            followOutput(i);
        } else if (makeDrawable(s)) {
            frames.setReady(i);
            showBlack(i);
        } else {
            // A surface that cannot be drawn on is left uncovered rather than ending the floor elsewhere.
            trace.mark("output-not-drawable", s.output.name);
            s.configured = false;
        }
    }
    syncGroups();
}

GlFrameTarget* WaylandViewerSurfaces::State::targetOf(const FrameGroup& group) {
    GroupParts& parts = groupParts[group.id];
    if (!parts.target)
        parts.target = std::make_unique<GlFrameTarget>(framebufferCalls, group.buffer.width, group.buffer.height);
    return parts.target->valid() ? parts.target.get() : nullptr;
}

ShmFrameBuffer* WaylandViewerSurfaces::State::bufferOf(const FrameGroup& group, uint32_t number) {
    auto& buffer = groupParts[group.id].buffers[number];
    if (!buffer) {
        const uint32_t id = group.id;
        buffer = ShmFrameBuffer::make(shm, group.buffer.width, group.buffer.height,
                                      [this, id, number](uint32_t key) { groups.released(id, number, key); });
    }
    return buffer.get();
}

// The parts of groups gone, and of buffers retired, go; the groups are traced as they change.
void WaylandViewerSurfaces::State::syncGroups() {
    if (!shared) return;
    for (auto it = groupParts.begin(); it != groupParts.end();) {
        FrameGroup* group = groups.group(it->first);
        if (!group) {
            it = groupParts.erase(it);
            continue;
        }
        auto& buffers = it->second.buffers;
        for (auto b = buffers.begin(); b != buffers.end();)
            b = group->pool.has(b->first) && b->second ? std::next(b) : buffers.erase(b);
        ++it;
    }
    if (!trace.on()) return;
    std::string text;
    for (const FrameGroup& g : groups.groups()) {
        text += text.empty() ? "" : "; ";
        text += std::to_string(g.buffer.width) + "x" + std::to_string(g.buffer.height) + " scale " +
                std::to_string(g.buffer.scale) + (g.buffer.viewport ? " viewport" : "") + ":";
        for (uint32_t key : g.surfaces) {
            const size_t i = surfaceIndexOf(key);
            if (i < surfaces.size()) text += " " + surfaces[i]->output.name;
        }
    }
    if (text == groupsTraced) return;
    groupsTraced = text;
    trace.mark("frame-groups", text);
}

namespace {

bool hasExtension(const char* extensions, const char* name) {
    if (!extensions) return false;
    const size_t length = std::strlen(name);
    for (const char* at = std::strstr(extensions, name); at; at = std::strstr(at + 1, name))
        if ((at == extensions || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

Result<void, std::string> setUpEgl(WaylandViewerSurfaces::State& state) {
    state.eglDisplay = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, state.connection->display(), nullptr);
    if (state.eglDisplay == EGL_NO_DISPLAY || !eglInitialize(state.eglDisplay, nullptr, nullptr)) {
        return Failure(std::string("no EGL for this Wayland display"));
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        return Failure(std::string("EGL offers no desktop OpenGL"));
    }
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                 EGL_RED_SIZE,     8,              EGL_GREEN_SIZE,      8,
                                 EGL_BLUE_SIZE,    8,              EGL_DEPTH_SIZE,      16,
                                 EGL_NONE};
    EGLint found = 0;
    if (!eglChooseConfig(state.eglDisplay, attributes, nullptr, 0, &found) || found < 1) {
        return Failure(std::string("no OpenGL configuration with a depth buffer"));
    }
    std::vector<EGLConfig> configs(size_t(found), nullptr);
    eglChooseConfig(state.eglDisplay, attributes, configs.data(), found, &found);
    configs.resize(size_t(std::max(0, found)));
    std::vector<EglConfigSizes> sizes;
    for (EGLConfig config : configs) {
        EglConfigSizes s;
        eglGetConfigAttrib(state.eglDisplay, config, EGL_RED_SIZE, &s.red);
        eglGetConfigAttrib(state.eglDisplay, config, EGL_GREEN_SIZE, &s.green);
        eglGetConfigAttrib(state.eglDisplay, config, EGL_BLUE_SIZE, &s.blue);
        eglGetConfigAttrib(state.eglDisplay, config, EGL_ALPHA_SIZE, &s.alpha);
        eglGetConfigAttrib(state.eglDisplay, config, EGL_DEPTH_SIZE, &s.depth);
        eglGetConfigAttrib(state.eglDisplay, config, EGL_STENCIL_SIZE, &s.stencil);
        sizes.push_back(s);
    }
    const auto chosen = chooseEglConfig(sizes);
    if (!chosen) {
        return Failure(std::string("no OpenGL configuration with 8-bit colours and a depth buffer"));
    }
    state.eglConfig = configs[*chosen];
    const EglConfigSizes& c = sizes[*chosen];
    state.configDescription = "rgba " + std::to_string(c.red) + std::to_string(c.green) + std::to_string(c.blue) +
                              std::to_string(c.alpha) + " depth " + std::to_string(c.depth);
    // No profile asked for: Mesa then gives a compatibility context, where the fixed-function calls live.
    state.context = eglCreateContext(state.eglDisplay, state.eglConfig, EGL_NO_CONTEXT, nullptr);
    if (state.context == EGL_NO_CONTEXT) {
        return Failure(std::string("cannot create the OpenGL context"));
    }
    // A frame's damage goes with its buffer where the driver takes it; the whole surface otherwise.
    const char* extensions = eglQueryString(state.eglDisplay, EGL_EXTENSIONS);
    if (hasExtension(extensions, "EGL_KHR_swap_buffers_with_damage"))
        state.swapWithDamage = reinterpret_cast<SwapWithDamage>(eglGetProcAddress("eglSwapBuffersWithDamageKHR"));
    else if (hasExtension(extensions, "EGL_EXT_swap_buffers_with_damage"))
        state.swapWithDamage = reinterpret_cast<SwapWithDamage>(eglGetProcAddress("eglSwapBuffersWithDamageEXT"));
    // Shared frames need a context current without a surface, framebuffer objects and shared memory.
    const char* frames = std::getenv("MIREVO_WAYLAND_FRAMES");
    if ((!frames || std::string(frames) != "window") && state.shm &&
        hasExtension(extensions, "EGL_KHR_surfaceless_context") &&
        eglMakeCurrent(state.eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, state.context)) {
        state.framebufferCalls = lookUpFramebufferCalls();
        state.shared = state.framebufferCalls != nullptr;
    }
    const bool damageByFrame =
        state.shared ? wl_compositor_get_version(state.compositor) >= 4 : state.swapWithDamage != nullptr;
    state.configDescription += damageByFrame ? ", damage by frame" : ", damage whole";
    state.configDescription += state.shared ? ", one frame per group of outputs into shared memory"
                                            : ", a window surface per output";
    return {};
}

} // namespace

Result<std::unique_ptr<WaylandViewerSurfaces>, std::string> WaylandViewerSurfaces::open(KeyState& keys,
                                                                                       std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_ptr<WaylandViewerSurfaces> viewer(new WaylandViewerSurfaces);
    viewer->state_ = std::make_unique<State>();
    State& state = *viewer->state_;
    auto connected = WaylandConnection::connect(limit);
    if (!connected) return Failure(connected.reason().why);
    state.connection = std::move(*connected);
    WaylandConnection& connection = *state.connection;
    const auto role = chooseSurfaceRole(connection.globalVersion(zwlr_layer_shell_v1_interface.name),
                                        connection.globalVersion(xdg_wm_base_interface.name));
    if (!role) {
        return Failure(std::string("the compositor offers neither the layer shell nor xdg-shell"));
    }
    viewer->role_ = *role;
    if (connection.outputs().empty()) {
        return Failure(std::string("the compositor names no output"));
    }
    state.compositor = static_cast<wl_compositor*>(connection.bind(&wl_compositor_interface, 4));
    if (!state.compositor) {
        return Failure(std::string("the compositor offers no wl_compositor"));
    }
    if (*role == SurfaceRole::Overlay) {
        state.layerShell = static_cast<zwlr_layer_shell_v1*>(connection.bind(&zwlr_layer_shell_v1_interface, 3));
    } else {
        state.wmBase = static_cast<xdg_wm_base*>(connection.bind(&xdg_wm_base_interface, 2));
        xdg_wm_base_add_listener(state.wmBase, &kWmListener, nullptr);
    }
    state.viewporter = static_cast<wp_viewporter*>(connection.bind(&wp_viewporter_interface, 1));
    state.seat = static_cast<wl_seat*>(connection.bind(&wl_seat_interface, 5));
    state.shm = static_cast<wl_shm*>(connection.bind(&wl_shm_interface, 1));
    state.input = std::make_unique<WaylandViewerInput>(state.seat, keys);

    for (size_t i = 0; i < connection.outputs().size(); ++i)
        state.makeSurface(i);
    // From here on, outputs plugged in, unplugged or changed are followed after every dispatch.
    const bool placed = connection.dispatchUntil(deadline, [&] {
        state.reconcile();
        if (state.closed) return true;
        return std::all_of(state.surfaces.begin(), state.surfaces.end(), [](const auto& s) { return s->configured; });
    });
    if (!placed || state.closed || state.surfaces.empty()) {
        return Failure(std::string(connection.lost() ? "the compositor went away"
                                                     : "the compositor did not place the surfaces in time"));
    }
    const auto egl = setUpEgl(state);
    if (!egl) return Failure(egl.reason());
    for (size_t i = 0; i < state.surfaces.size(); ++i) {
        if (!state.makeDrawable(*state.surfaces[i])) {
            return Failure(std::string("cannot draw on a surface"));
        }
        state.frames.setReady(i);
        state.showBlack(i);
    }
    state.syncGroups();
    return viewer;
}

WaylandViewerSurfaces::~WaylandViewerSurfaces() = default;

const std::string& WaylandViewerSurfaces::configDescription() const {
    return state_->configDescription;
}

size_t WaylandViewerSurfaces::count() const {
    return state_->surfaces.size();
}

void WaylandViewerSurfaces::makeCurrent(size_t i, int& width, int& height) {
    State& state = *state_;
    Surface& surface = *state.surfaces[i];
    width = surface.buffer.width, height = surface.buffer.height;
    if (!state.shared) {
        eglMakeCurrent(state.eglDisplay, surface.egl, surface.egl, state.context);
        return;
    }
    const FrameGroup* group = state.groups.groupOf(surface.key);
    if (GlFrameTarget* target = group ? state.targetOf(*group) : nullptr) target->bind();
}

size_t WaylandViewerSurfaces::targets() const {
    return state_->shared ? state_->groups.groups().size() : state_->surfaces.size();
}

bool WaylandViewerSurfaces::beginFrame(size_t t, int& width, int& height) {
    State& state = *state_;
    if (!state.shared) {
        if (!state.frames.drawable(t)) return false;
        makeCurrent(t, width, height);
        return true;
    }
    const FrameGroup& group = state.groups.groups()[t];
    const bool wanted = std::any_of(group.surfaces.begin(), group.surfaces.end(), [&](uint32_t key) {
        const size_t i = state.surfaceIndexOf(key);
        return i < state.surfaces.size() && state.frames.drawable(i);
    });
    if (!wanted) return false;
    // Only looked at, not yet taken: it is taken when the frame is read into it.
    const auto number = state.groups.group(group.id)->pool.take();
    GlFrameTarget* target = number && state.bufferOf(group, *number) ? state.targetOf(group) : nullptr;
    if (!target) return false;
    target->bind();
    width = group.buffer.width, height = group.buffer.height;
    return true;
}

void WaylandViewerSurfaces::endFrame(size_t t, const FramePose& pose) {
    State& state = *state_;
    if (!state.shared) {
        Surface& surface = *state.surfaces[t];
        surface.heldFloor = floorBounds(pose, surface.buffer.width, surface.buffer.height);
        state.frames.drawn(t);
        return;
    }
    const FrameGroup& group = state.groups.groups()[t];
    const int width = group.buffer.width, height = group.buffer.height;
    const auto number = state.groups.group(group.id)->pool.take();
    ShmFrameBuffer* buffer = number ? state.bufferOf(group, *number) : nullptr;
    GlFrameTarget* target = state.targetOf(group);
    if (!buffer || !target) return;
    // Read once: only where the floor is now or was in the frame this buffer held, black around both.
    const PixelRect floor = floorBounds(pose, width, height);
    for (const PixelRect& r : frameDamage(floor, buffer->floor, width, height))
        target->read(r, buffer->rows(), buffer->stride());
    buffer->floor = floor;
    const std::vector<uint32_t> members = group.surfaces; // frameFor leaves the groups as they are
    for (uint32_t key : members) {
        const size_t i = state.surfaceIndexOf(key);
        if (i >= state.surfaces.size()) continue;
        const bool drawable = state.frames.drawable(i);
        // One still waiting to commit an older frame commits this one instead.
        if (!drawable && !state.groups.waiting(key)) continue;
        state.groups.frameFor(key, *number);
        state.surfaces[i]->heldFloor = floor;
        if (drawable) state.frames.drawn(i);
    }
}

void WaylandViewerSurfaces::State::swap(size_t i) {
    State& state = *this;
    Surface& surface = *state.surfaces[i];
    if (shared && !sharedBufferOf(surface)) {
        // Nothing to commit after all (a buffer that could not be made): drawn again.
        frames.discard(i);
        return;
    }
    if (surface.buffer != surface.committedBuffer) {
        // With the first buffer of the new size, in the same commit: how it is shown and what of it is opaque
        // (all of it: the compositor need draw nothing under it, nor blend it).
        const SurfaceBuffer& b = surface.buffer;
        if (wl_compositor_get_version(state.compositor) >= 3) wl_surface_set_buffer_scale(surface.surface, b.scale);
        if (surface.viewport) {
            const int width = b.viewport ? surface.width : -1, height = b.viewport ? surface.height : -1;
            wp_viewport_set_destination(surface.viewport, width, height);
        }
        wl_region* opaque = wl_compositor_create_region(state.compositor);
        wl_region_add(opaque, 0, 0, surface.width, surface.height);
        wl_surface_set_opaque_region(surface.surface, opaque);
        wl_region_destroy(opaque);
        surface.committedBuffer = b;
        surface.shownFloor.reset();
        state.trace.mark("surface", surface.output.name + " " + std::to_string(b.width) + "x" +
                                        std::to_string(b.height) + " scale " + std::to_string(b.scale) +
                                        (b.viewport ? " viewport" : ""));
    }
    // Asked before the swap, whose commit carries the request.
    surface.frameCallbacks.push_back(wl_surface_frame(surface.surface));
    wl_callback_add_listener(surface.frameCallbacks.back(), &kFrameListener, &surface);
    state.frames.committed(i);
    if (shared) {
        commitShared(surface);
    } else if (state.swapWithDamage) {
        eglMakeCurrent(state.eglDisplay, surface.egl, surface.egl, state.context);
        const auto damage = frameDamage(surface.heldFloor, surface.shownFloor, surface.buffer.width,
                                        surface.buffer.height);
        std::vector<EGLint> rects;
        for (const PixelRect& r : damage)
            rects.insert(rects.end(), {r.x, r.y, r.width, r.height});
        state.swapWithDamage(state.eglDisplay, surface.egl, rects.data(), EGLint(damage.size()));
    } else {
        eglMakeCurrent(state.eglDisplay, surface.egl, surface.egl, state.context);
        eglSwapBuffers(state.eglDisplay, surface.egl);
    }
    surface.shownFloor = surface.heldFloor;
}

// The frame the surface waits for, committed through its own wl_buffer over the group's pixels, with the
// damage of what differs from the frame it showed before (rows from the top, as buffers count them).
ShmFrameBuffer* WaylandViewerSurfaces::State::sharedBufferOf(const Surface& surface) {
    const FrameGroup* group = groups.groupOf(surface.key);
    const auto number = groups.waiting(surface.key);
    auto parts = group ? groupParts.find(group->id) : groupParts.end();
    if (!number || parts == groupParts.end()) return nullptr;
    auto buffer = parts->second.buffers.find(*number);
    return buffer == parts->second.buffers.end() ? nullptr : buffer->second.get();
}

void WaylandViewerSurfaces::State::commitShared(Surface& surface) {
    ShmFrameBuffer* buffer = sharedBufferOf(surface);
    if (!buffer) return;
    const int width = surface.buffer.width, height = surface.buffer.height;
    wl_surface_attach(surface.surface, buffer->bufferFor(surface.key), 0, 0);
    if (wl_surface_get_version(surface.surface) >= 4) {
        for (const PixelRect& r : frameDamage(surface.heldFloor, surface.shownFloor, width, height))
            wl_surface_damage_buffer(surface.surface, r.x, height - r.y - r.height, r.width, r.height);
    } else {
        wl_surface_damage(surface.surface, 0, 0, INT32_MAX, INT32_MAX);
    }
    wl_surface_commit(surface.surface);
    groups.committed(surface.key);
}

void WaylandViewerSurfaces::swap(size_t i) {
    state_->swap(i);
}

OutputFrames& WaylandViewerSurfaces::frames() {
    return state_->frames;
}

double WaylandViewerSurfaces::refreshRate() const {
    int best = 0;
    for (const auto& surface : state_->surfaces)
        best = std::max(best, surface->output.refreshMilliHz);
    return best / 1000.0;
}

bool WaylandViewerSurfaces::dispatch(std::chrono::milliseconds timeout) {
    State& state = *state_;
    if (!state.connection->dispatchFor(timeout, stopSignalFd())) return false;
    state.reconcile();
    return !state.closed && !state.connection->lost();
}

} // namespace mirevo::viewer
