#include "viewer/wayland/wayland_viewer_surfaces.h"

#include <algorithm>
#include <cstring>

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-egl.h>
#include <xkbcommon/xkbcommon.h>

#include "common/posix/posix_stop_signals.h"
#include "common/posix/unique_fd.h"
#include "common/program_names.h"
#include "common/wayland/wayland_connection.h"
#include "viewer/scene/key_state.h"
#include "viewer/wayland/egl_config_choice.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace mirevo::viewer {

namespace {

constexpr int kEscapeKeyCode = 1; // evdev's KEY_ESC, for a keyboard without a keymap we can read

struct Surface {
    OutputLayout output;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    xdg_surface* shellSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_egl_window* window = nullptr;
    EGLSurface egl = EGL_NO_SURFACE;
    int width = 0, height = 0; // logical, as configured
    bool configured = false;
    bool* closed = nullptr;
    std::vector<wl_callback*> frameCallbacks; // of the frames committed and not yet answered
    OutputFrames* frames = nullptr;
    size_t index = 0;

    int pixelWidth() const { return width * std::max(1, output.scale); }
    int pixelHeight() const { return height * std::max(1, output.scale); }
    void configure(int w, int h) {
        width = w > 0 ? w : output.logicalWidth;
        height = h > 0 ? h : output.logicalHeight;
        configured = true;
        if (window) wl_egl_window_resize(window, pixelWidth(), pixelHeight(), 0, 0);
    }
};

void layerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    static_cast<Surface*>(data)->configure(int(width), int(height));
}
void layerClosed(void* data, zwlr_layer_surface_v1*) {
    *static_cast<Surface*>(data)->closed = true;
}
const zwlr_layer_surface_v1_listener kLayerListener = {layerConfigure, layerClosed};

void toplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    auto* surface = static_cast<Surface*>(data);
    // Kept until the surface's configure says the set is complete.
    surface->width = width, surface->height = height;
}
void toplevelClose(void* data, xdg_toplevel*) {
    *static_cast<Surface*>(data)->closed = true;
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

void frameDone(void* data, wl_callback* callback, uint32_t) {
    auto* surface = static_cast<Surface*>(data);
    wl_callback_destroy(callback);
    auto& waiting = surface->frameCallbacks;
    waiting.erase(std::remove(waiting.begin(), waiting.end(), callback), waiting.end());
    surface->frames->callbackCame(surface->index);
}
const wl_callback_listener kFrameListener = {frameDone};

} // namespace

struct WaylandViewerSurfaces::State {
    KeyState* keys = nullptr;
    std::unique_ptr<WaylandConnection> connection;
    wl_compositor* compositor = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    xdg_wm_base* wmBase = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* xkbState = nullptr;
    EGLDisplay eglDisplay = EGL_NO_DISPLAY;
    EGLConfig eglConfig = nullptr;
    EGLContext context = EGL_NO_CONTEXT;
    std::string configDescription;
    std::vector<std::unique_ptr<Surface>> surfaces;
    OutputFrames frames{0};
    bool closed = false;

    ~State();
    void key(uint32_t key, bool pressed);
};

namespace {

void keymapEvent(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    auto* state = static_cast<WaylandViewerSurfaces::State*>(data);
    UniqueFd owned(fd);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || !state->xkb) return;
    void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, owned.get(), 0);
    if (text == MAP_FAILED) return;
    const char* keymapText = static_cast<const char*>(text);
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(state->xkb, keymapText, strnlen(keymapText, size),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ::munmap(text, size);
    if (!keymap) return;
    if (state->xkbState) xkb_state_unref(state->xkbState);
    if (state->keymap) xkb_keymap_unref(state->keymap);
    state->keymap = keymap;
    state->xkbState = xkb_state_new(keymap);
}
// Keys already down when the keyboard comes to a surface count as pressed: a keyboard plugged in (or a
// virtual one made) while the floor shows may bring its first press only this way.
void keyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface*, wl_array* keys) {
    auto* state = static_cast<WaylandViewerSurfaces::State*>(data);
    const auto* key = static_cast<const uint32_t*>(keys->data);
    for (size_t i = 0; i < keys->size / sizeof(uint32_t); ++i)
        state->key(key[i], true);
}
void keyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void keyEvent(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t pressed) {
    static_cast<WaylandViewerSurfaces::State*>(data)->key(key, pressed == WL_KEYBOARD_KEY_STATE_PRESSED);
}
void modifiersEvent(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                    uint32_t group) {
    auto* state = static_cast<WaylandViewerSurfaces::State*>(data);
    if (state->xkbState) xkb_state_update_mask(state->xkbState, depressed, latched, locked, 0, 0, group);
}
void repeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener = {keymapEvent, keyboardEnter, keyboardLeave, keyEvent, modifiersEvent,
                                                repeatInfo};

// The cursor is hidden over every surface; the pointer's moves and buttons do nothing.
void pointerEnter(void*, wl_pointer* pointer, uint32_t serial, wl_surface*, wl_fixed_t, wl_fixed_t) {
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
}
void pointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
void pointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t, wl_fixed_t) {}
void pointerButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void pointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void pointerFrame(void*, wl_pointer*) {}
void pointerAxisSource(void*, wl_pointer*, uint32_t) {}
void pointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void pointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void pointerAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}
const wl_pointer_listener kPointerListener = {pointerEnter,        pointerLeave,       pointerMotion,
                                              pointerButton,       pointerAxis,        pointerFrame,
                                              pointerAxisSource,   pointerAxisStop,    pointerAxisDiscrete,
                                              pointerAxisValue120};

// Keyboards and pointers come and go (a device unplugged, a virtual one made by a program): each one is
// taken when the seat has it and given back when it goes, so that the next one is heard.
void seatCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
    auto* state = static_cast<WaylandViewerSurfaces::State*>(data);
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (keyboard && !state->keyboard) {
        state->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(state->keyboard, &kKeyboardListener, state);
    } else if (!keyboard && state->keyboard) {
        wl_keyboard_release(state->keyboard);
        state->keyboard = nullptr;
    }
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (pointer && !state->pointer) {
        state->pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(state->pointer, &kPointerListener, state);
    } else if (!pointer && state->pointer) {
        wl_pointer_release(state->pointer);
        state->pointer = nullptr;
    }
}
void seatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {seatCapabilities, seatName};

} // namespace

void WaylandViewerSurfaces::State::key(uint32_t code, bool pressed) {
    int32_t keyCode = -1;
    if (xkbState) {
        const xkb_keysym_t symbol = xkb_state_key_get_one_sym(xkbState, code + 8);
        if (symbol == XKB_KEY_Escape)
            keyCode = KeyState::kEscape;
        else if (symbol < 256)
            keyCode = int32_t(symbol);
    } else if (code == kEscapeKeyCode) {
        keyCode = KeyState::kEscape;
    }
    if (keyCode < 0) return;
    if (pressed)
        keys->press(keyCode);
    else
        keys->release(keyCode);
}

WaylandViewerSurfaces::State::~State() {
    if (eglDisplay != EGL_NO_DISPLAY) {
        eglMakeCurrent(eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        for (auto& s : surfaces)
            if (s->egl != EGL_NO_SURFACE) eglDestroySurface(eglDisplay, s->egl);
        if (context != EGL_NO_CONTEXT) eglDestroyContext(eglDisplay, context);
        eglTerminate(eglDisplay);
    }
    for (auto& s : surfaces) {
        for (wl_callback* callback : s->frameCallbacks)
            wl_callback_destroy(callback);
        if (s->window) wl_egl_window_destroy(s->window);
        if (s->layer) zwlr_layer_surface_v1_destroy(s->layer);
        if (s->toplevel) xdg_toplevel_destroy(s->toplevel);
        if (s->shellSurface) xdg_surface_destroy(s->shellSurface);
        if (s->surface) wl_surface_destroy(s->surface);
    }
    surfaces.clear();
    if (xkbState) xkb_state_unref(xkbState);
    if (keymap) xkb_keymap_unref(keymap);
    if (xkb) xkb_context_unref(xkb);
    if (keyboard) wl_keyboard_release(keyboard);
    if (pointer) wl_pointer_release(pointer);
    if (seat) wl_seat_destroy(seat);
    if (layerShell) zwlr_layer_shell_v1_destroy(layerShell);
    if (wmBase) xdg_wm_base_destroy(wmBase);
    if (compositor) wl_compositor_destroy(compositor);
    connection.reset();
}

namespace {

bool setUpEgl(WaylandViewerSurfaces::State& state, std::string& why) {
    state.eglDisplay = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, state.connection->display(), nullptr);
    if (state.eglDisplay == EGL_NO_DISPLAY || !eglInitialize(state.eglDisplay, nullptr, nullptr)) {
        why = "no EGL for this Wayland display";
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        why = "EGL offers no desktop OpenGL";
        return false;
    }
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                 EGL_RED_SIZE,     8,              EGL_GREEN_SIZE,      8,
                                 EGL_BLUE_SIZE,    8,              EGL_DEPTH_SIZE,      16,
                                 EGL_NONE};
    EGLint found = 0;
    if (!eglChooseConfig(state.eglDisplay, attributes, nullptr, 0, &found) || found < 1) {
        why = "no OpenGL configuration with a depth buffer";
        return false;
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
        why = "no OpenGL configuration with 8-bit colours and a depth buffer";
        return false;
    }
    state.eglConfig = configs[*chosen];
    const EglConfigSizes& c = sizes[*chosen];
    state.configDescription = "rgba " + std::to_string(c.red) + std::to_string(c.green) + std::to_string(c.blue) +
                              std::to_string(c.alpha) + " depth " + std::to_string(c.depth);
    // No profile asked for: Mesa then gives a compatibility context, where the fixed-function calls live.
    state.context = eglCreateContext(state.eglDisplay, state.eglConfig, EGL_NO_CONTEXT, nullptr);
    if (state.context == EGL_NO_CONTEXT) {
        why = "cannot create the OpenGL context";
        return false;
    }
    return true;
}

} // namespace

std::unique_ptr<WaylandViewerSurfaces> WaylandViewerSurfaces::open(KeyState& keys, std::chrono::milliseconds limit,
                                                                   std::string& why) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_ptr<WaylandViewerSurfaces> viewer(new WaylandViewerSurfaces);
    viewer->state_ = std::make_unique<State>();
    State& state = *viewer->state_;
    state.keys = &keys;
    state.connection = WaylandConnection::connect(limit, why);
    if (!state.connection) return nullptr;
    WaylandConnection& connection = *state.connection;
    const auto role = chooseSurfaceRole(connection.globalVersion(zwlr_layer_shell_v1_interface.name),
                                        connection.globalVersion(xdg_wm_base_interface.name));
    if (!role) {
        why = "the compositor offers neither the layer shell nor xdg-shell";
        return nullptr;
    }
    viewer->role_ = *role;
    if (connection.outputs().empty()) {
        why = "the compositor names no output";
        return nullptr;
    }
    state.compositor = static_cast<wl_compositor*>(connection.bind(&wl_compositor_interface, 4));
    if (!state.compositor) {
        why = "the compositor offers no wl_compositor";
        return nullptr;
    }
    if (*role == SurfaceRole::Overlay) {
        state.layerShell = static_cast<zwlr_layer_shell_v1*>(connection.bind(&zwlr_layer_shell_v1_interface, 3));
    } else {
        state.wmBase = static_cast<xdg_wm_base*>(connection.bind(&xdg_wm_base_interface, 2));
        xdg_wm_base_add_listener(state.wmBase, &kWmListener, nullptr);
    }
    state.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    state.seat = static_cast<wl_seat*>(connection.bind(&wl_seat_interface, 5));
    if (state.seat) wl_seat_add_listener(state.seat, &kSeatListener, &state);
    state.frames = OutputFrames(connection.outputs().size());

    for (size_t i = 0; i < connection.outputs().size(); ++i) {
        auto surface = std::make_unique<Surface>();
        surface->output = connection.outputs()[i];
        surface->closed = &state.closed;
        surface->frames = &state.frames;
        surface->index = i;
        surface->surface = wl_compositor_create_surface(state.compositor);
        if (wl_compositor_get_version(state.compositor) >= 3)
            wl_surface_set_buffer_scale(surface->surface, std::max(1, surface->output.scale));
        if (state.layerShell) {
            surface->layer = zwlr_layer_shell_v1_get_layer_surface(state.layerShell, surface->surface,
                                                                   connection.output(i),
                                                                   ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "mirevo");
            zwlr_layer_surface_v1_add_listener(surface->layer, &kLayerListener, surface.get());
            zwlr_layer_surface_v1_set_anchor(surface->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
            zwlr_layer_surface_v1_set_size(surface->layer, 0, 0);
            // Over the panels' reserved strips too.
            zwlr_layer_surface_v1_set_exclusive_zone(surface->layer, -1);
            zwlr_layer_surface_v1_set_keyboard_interactivity(surface->layer,
                                                             ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
        } else {
            surface->shellSurface = xdg_wm_base_get_xdg_surface(state.wmBase, surface->surface);
            xdg_surface_add_listener(surface->shellSurface, &kShellSurfaceListener, surface.get());
            surface->toplevel = xdg_surface_get_toplevel(surface->shellSurface);
            xdg_toplevel_add_listener(surface->toplevel, &kToplevelListener, surface.get());
            xdg_toplevel_set_title(surface->toplevel, kViewerWindowTitle);
            xdg_toplevel_set_app_id(surface->toplevel, "io.github.mirevo.Mirevo");
            xdg_toplevel_set_fullscreen(surface->toplevel, connection.output(i));
        }
        wl_surface_commit(surface->surface);
        state.surfaces.push_back(std::move(surface));
    }
    const bool placed = connection.dispatchUntil(deadline, [&] {
        if (state.closed) return true;
        return std::all_of(state.surfaces.begin(), state.surfaces.end(), [](const auto& s) { return s->configured; });
    });
    if (!placed || state.closed) {
        why = connection.lost() ? "the compositor went away" : "the compositor did not place the surfaces in time";
        return nullptr;
    }
    if (!setUpEgl(state, why)) return nullptr;
    for (auto& surface : state.surfaces) {
        surface->window = wl_egl_window_create(surface->surface, surface->pixelWidth(), surface->pixelHeight());
        surface->egl = surface->window ? eglCreatePlatformWindowSurface(state.eglDisplay, state.eglConfig,
                                                                        surface->window, nullptr)
                                       : EGL_NO_SURFACE;
        if (surface->egl == EGL_NO_SURFACE ||
            !eglMakeCurrent(state.eglDisplay, surface->egl, surface->egl, state.context)) {
            why = "cannot draw on a surface";
            return nullptr;
        }
        // Each swap returns at once, so that one output's surface never waits for another's: swap() asks for
        // each frame's callback itself, and the frame loop gives a surface no more frames than the
        // compositor shows.
        eglSwapInterval(state.eglDisplay, 0);
    }
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
    Surface& surface = *state_->surfaces[i];
    eglMakeCurrent(state_->eglDisplay, surface.egl, surface.egl, state_->context);
    width = surface.pixelWidth(), height = surface.pixelHeight();
}

void WaylandViewerSurfaces::swap(size_t i) {
    Surface& surface = *state_->surfaces[i];
    // Asked before the swap, whose commit carries the request.
    surface.frameCallbacks.push_back(wl_surface_frame(surface.surface));
    wl_callback_add_listener(surface.frameCallbacks.back(), &kFrameListener, &surface);
    state_->frames.committed(i);
    eglSwapBuffers(state_->eglDisplay, surface.egl);
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
    return state_->connection->dispatchFor(timeout, stopSignalFd()) && !state_->closed;
}

} // namespace mirevo::viewer
