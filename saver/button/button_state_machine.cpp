#include "saver/button/button_state_machine.h"

namespace mirevo {

Reaction ButtonStateMachine::pointerMoved() {
    Reaction r;
    if (state_ == ButtonState::Idle) {
        state_ = ButtonState::Hot;
        r.face = Skin::HighLight;
    }
    // A move while the left button is held does not bring the hover back: a drag that went off and came
    // back stays Selected until the first move after the release.
    if (state_ == ButtonState::Focused && !mouseHeld_) {
        state_ = ButtonState::FocusedHot;
        r.face = Skin::HighLightSelect;
    }
    return r;
}

Reaction ButtonStateMachine::buttonPressed(MouseButton button) {
    if (button != MouseButton::Left) return {};
    mouseHeld_ = true;
    return {Skin::Pressed, false};
}

Reaction ButtonStateMachine::buttonReleased(MouseButton button) {
    Reaction r;
    if (button == MouseButton::Left) {
        mouseHeld_ = false;
        if (state_ == ButtonState::Hot) r.face = Skin::Normal;
        if (state_ == ButtonState::FocusedHot) r.face = Skin::HighLightSelect;
    }
    // A release away from a button that kept the focus is a drag off it, not a click.
    r.click = state_ != ButtonState::Focused;
    return r;
}

Reaction ButtonStateMachine::focusGained(bool otherButtonPress) {
    // The focus that a click on a hot button brings shows the press at once. Where the platform delivers
    // the press before the focus (the window was not yet active), the held press counts as that click.
    bool pressOnButton = state_ == ButtonState::Hot || (state_ == ButtonState::Idle && mouseHeld_);
    state_ = pressOnButton ? ButtonState::FocusedHot : ButtonState::Focused;
    // A press of the right or middle button focuses the button under the pointer but is no press of it.
    if (pressOnButton && otherButtonPress) return {Skin::HighLightSelect, false};
    return {pressOnButton ? Skin::Pressed : Skin::Selected, false};
}

Reaction ButtonStateMachine::focusLost() {
    if (state_ == ButtonState::Idle) return {};
    state_ = ButtonState::Idle;
    return {Skin::Normal, false};
}

Reaction ButtonStateMachine::LeaveHover() {
    Reaction r;
    if (state_ == ButtonState::Hot) {
        state_ = ButtonState::Idle;
        r.face = Skin::Normal;
    }
    if (state_ == ButtonState::FocusedHot) {
        state_ = ButtonState::Focused;
        r.face = Skin::Selected;
    }
    return r;
}

} // namespace mirevo
