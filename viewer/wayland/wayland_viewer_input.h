#pragma once
// The viewer's seat in a Wayland session: its keyboard, read through xkbcommon with the keymap the compositor
// sends, into KeyState presses; its pointer, whose cursor is hidden over every surface and whose moves and
// buttons do nothing. Keyboards and pointers come and go (a device unplugged, a virtual one made by a
// program): each is taken when the seat has it and given back when it goes, so that the next one is heard.
#include <cstdint>
#include <memory>

struct wl_seat;
struct xkb_state;

namespace mirevo::viewer {

class KeyState;

// The KeyState code of a key (Escape, or a key symbol below 256 such as a letter) from the evdev key code a
// wl_keyboard sends, through the keymap's state; -1 for a key the floor has no use for. Without a keymap,
// evdev's Escape alone is known.
int32_t keyStateCode(xkb_state* state, uint32_t evdevCode);

class WaylandViewerInput {
public:
    // Listens to the seat (not owned; it outlives this) and presses keys into keys.
    WaylandViewerInput(wl_seat* seat, KeyState& keys);
    ~WaylandViewerInput();
    WaylandViewerInput(const WaylandViewerInput&) = delete;
    WaylandViewerInput& operator=(const WaylandViewerInput&) = delete;

    struct Parts;

private:
    std::unique_ptr<Parts> parts_;
};

} // namespace mirevo::viewer
