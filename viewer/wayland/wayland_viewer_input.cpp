#include "viewer/wayland/wayland_viewer_input.h"

#include <cstring>

#include <sys/mman.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "common/posix/unique_fd.h"
#include "viewer/scene/key_state.h"

namespace mirevo::viewer {

namespace {

constexpr uint32_t kEvdevEscape = 1;     // evdev's KEY_ESC, for a keyboard without a keymap we can read
constexpr uint32_t kEvdevToXkb = 8;      // xkb's key codes are evdev's plus 8, as in X11

} // namespace

int32_t keyStateCode(xkb_state* state, uint32_t evdevCode) {
    if (!state) return evdevCode == kEvdevEscape ? KeyState::kEscape : -1;
    const xkb_keysym_t symbol = xkb_state_key_get_one_sym(state, evdevCode + kEvdevToXkb);
    if (symbol == XKB_KEY_Escape) return KeyState::kEscape;
    if (symbol != XKB_KEY_NoSymbol && symbol < 256) return int32_t(symbol);
    return -1;
}

struct WaylandViewerInput::Parts {
    KeyState* keys = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* xkbState = nullptr;

    void key(uint32_t code, bool pressed) {
        const int32_t keyCode = keyStateCode(xkbState, code);
        if (keyCode < 0) return;
        if (pressed)
            keys->press(keyCode);
        else
            keys->release(keyCode);
    }
    void forgetKeymap() {
        if (xkbState) xkb_state_unref(xkbState);
        if (keymap) xkb_keymap_unref(keymap);
        xkbState = nullptr, keymap = nullptr;
    }
};

namespace {

using Parts = WaylandViewerInput::Parts;

void keymapEvent(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    auto* parts = static_cast<Parts*>(data);
    UniqueFd owned(fd);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || !parts->xkb) return;
    void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, owned.get(), 0);
    if (text == MAP_FAILED) return;
    const char* keymapText = static_cast<const char*>(text);
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(parts->xkb, keymapText, strnlen(keymapText, size),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ::munmap(text, size);
    if (!keymap) return;
    parts->forgetKeymap();
    parts->keymap = keymap;
    parts->xkbState = xkb_state_new(keymap);
}
// Keys already down when the keyboard comes to a surface count as pressed: a keyboard plugged in (or a
// virtual one made) while the floor shows may bring its first press only this way.
void keyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface*, wl_array* keys) {
    auto* parts = static_cast<Parts*>(data);
    const auto* key = static_cast<const uint32_t*>(keys->data);
    for (size_t i = 0; i < keys->size / sizeof(uint32_t); ++i)
        parts->key(key[i], true);
}
void keyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void keyEvent(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t pressed) {
    static_cast<Parts*>(data)->key(key, pressed == WL_KEYBOARD_KEY_STATE_PRESSED);
}
void modifiersEvent(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                    uint32_t group) {
    auto* parts = static_cast<Parts*>(data);
    if (parts->xkbState) xkb_state_update_mask(parts->xkbState, depressed, latched, locked, 0, 0, group);
}
void repeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener = {keymapEvent, keyboardEnter, keyboardLeave, keyEvent, modifiersEvent,
                                                repeatInfo};

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

void seatCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
    auto* parts = static_cast<Parts*>(data);
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (keyboard && !parts->keyboard) {
        parts->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(parts->keyboard, &kKeyboardListener, parts);
    } else if (!keyboard && parts->keyboard) {
        wl_keyboard_release(parts->keyboard);
        parts->keyboard = nullptr;
    }
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (pointer && !parts->pointer) {
        parts->pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(parts->pointer, &kPointerListener, parts);
    } else if (!pointer && parts->pointer) {
        wl_pointer_release(parts->pointer);
        parts->pointer = nullptr;
    }
}
void seatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {seatCapabilities, seatName};

} // namespace

WaylandViewerInput::WaylandViewerInput(wl_seat* seat, KeyState& keys) : parts_(std::make_unique<Parts>()) {
    parts_->keys = &keys;
    parts_->seat = seat;
    parts_->xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (seat) wl_seat_add_listener(seat, &kSeatListener, parts_.get());
}

WaylandViewerInput::~WaylandViewerInput() {
    parts_->forgetKeymap();
    if (parts_->xkb) xkb_context_unref(parts_->xkb);
    if (parts_->keyboard) wl_keyboard_release(parts_->keyboard);
    if (parts_->pointer) wl_pointer_release(parts_->pointer);
}

} // namespace mirevo::viewer
