#pragma once
// Which face the button shows as the pointer, the focus and the mouse buttons come and go, and when it
// raises Click. Plain C++: the window feeds it notifications and paints the face it answers with.
#include <cstdint>
#include <optional>

namespace mirevo {

// The six skin pictures a face is painted with.
enum class Skin : uint8_t { Normal, HighLight, HighLightSelect, Pressed, Selected, Disable };

enum class ButtonState : uint8_t {
    Uninitialised = 0, // Initialize has not run: no hover look
    Idle = 1,          // no focus, pointer elsewhere: Normal
    Hot = 2,           // no focus, pointer over the button: HighLight
    Focused = 3,       // focus, pointer elsewhere: Selected
    FocusedHot =
        4, // focus, pointer over the button: HighLightSelect, or Pressed while the left button is down
};

enum class MouseButton : uint8_t { Left, Other };

// What one notification asks of the window: the face to paint (none when it stays), and whether to raise
// Click (after the paint).
struct Reaction {
    std::optional<Skin> face;
    bool click = false;
    bool operator==(const Reaction& other) const { return face == other.face && click == other.click; }
};

class ButtonStateMachine {
public:
    void initialize() { state_ = ButtonState::Idle; }

    // The pointer moved over the button, or anywhere while a button pressed on it is still down.
    Reaction pointerMoved();
    Reaction buttonPressed(MouseButton button);
    // The release of a press that began on the button, wherever the pointer now is.
    Reaction buttonReleased(MouseButton button);
    // otherButtonPress: the focus came with a press of another mouse button than the left, or with the
    // window's activation while no left press is held on the button; either shows no Pressed face.
    Reaction focusGained(bool otherButtonPress = false);
    Reaction focusLost();
    // The leave poll found the pointer off the button.
    Reaction LeaveHover();

    ButtonState state() const { return state_; }
    bool MouseHeld() const { return mouseHeld_; }

private:
    ButtonState state_ = ButtonState::Uninitialised;
    bool mouseHeld_ = false;
};

} // namespace mirevo
