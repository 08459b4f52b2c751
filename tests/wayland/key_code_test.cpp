#include "viewer/wayland/wayland_viewer_input.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include "viewer/scene/key_state.h"

namespace mirevo::viewer {
namespace {

// Keys as a real keyboard's evdev codes arrive, through the keymap a compositor sends for it (evdev's rules,
// the US layout).
TEST(KeyCode, EvdevCodesThroughTheKeymapAndEscapeWithoutOne) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    ASSERT_TRUE(context);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ASSERT_TRUE(keymap);
    xkb_state* state = xkb_state_new(keymap);
    const struct {
        uint32_t evdev;
        int32_t withKeymap, without;
    } cases[] = {
        {KEY_ESC, KeyState::kEscape, KeyState::kEscape},
        {KEY_A, 'a', -1},
        {KEY_Q, 'q', -1},
        {KEY_SPACE, ' ', -1},
        {KEY_1, '1', -1},
        {KEY_ENTER, -1, -1}, // no use to the floor
        {KEY_LEFTSHIFT, -1, -1},
        {0, -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(keyStateCode(state, c.evdev), c.withKeymap) << c.evdev;
        EXPECT_EQ(keyStateCode(nullptr, c.evdev), c.without) << c.evdev;
    }
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
}

} // namespace
} // namespace mirevo::viewer
