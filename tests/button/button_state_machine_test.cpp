// The button's faces and Click as the pointer, the focus and the mouse buttons come and go.
#include <gtest/gtest.h>

#include "saver/button/button_state_machine.h"
#include "saver/button/command_control.h"
#include "tests/button/fake_surface.h"

namespace mirevo {
namespace {

using test::FakeSurface;
using test::Paint;
using S = ButtonState;

enum class Note { Move, LeftDown, OtherDown, LeftUp, OtherUp, FocusIn, FocusOut, Leave };

Reaction send(ButtonStateMachine& m, Note n) {
    switch (n) {
    case Note::Move:
        return m.pointerMoved();
    case Note::LeftDown:
        return m.buttonPressed(MouseButton::Left);
    case Note::OtherDown:
        return m.buttonPressed(MouseButton::Other);
    case Note::LeftUp:
        return m.buttonReleased(MouseButton::Left);
    case Note::OtherUp:
        return m.buttonReleased(MouseButton::Other);
    case Note::FocusIn:
        return m.focusGained();
    case Note::FocusOut:
        return m.focusLost();
    case Note::Leave:
        return m.LeaveHover();
    }
    return {};
}

ButtonStateMachine machineAt(S state, bool held) {
    ButtonStateMachine m;
    if (state != S::Uninitialised) m.initialize();
    if (state == S::Hot || state == S::FocusedHot) m.pointerMoved();
    if (state == S::Focused || state == S::FocusedHot) m.focusGained();
    if (held) m.buttonPressed(MouseButton::Left);
    return m;
}

struct Row {
    S state;
    Note note;
    bool held;
    S after;
    std::optional<Skin> face;
    bool click;
};

TEST(ButtonStateMachine, EachNotificationMovesTheStateAndPicksTheFace) {
    const Row rows[] = {
        {S::Idle, Note::Move, false, S::Hot, Skin::HighLight, false},
        {S::Idle, Note::Move, true, S::Hot, Skin::HighLight, false},
        {S::Hot, Note::Move, false, S::Hot, std::nullopt, false},
        {S::Focused, Note::Move, false, S::FocusedHot, Skin::HighLightSelect, false},
        {S::Focused, Note::Move, true, S::Focused, std::nullopt, false},
        {S::FocusedHot, Note::Move, false, S::FocusedHot, std::nullopt, false},
        {S::Uninitialised, Note::Move, false, S::Uninitialised, std::nullopt, false},
        {S::Hot, Note::LeftDown, false, S::Hot, Skin::Pressed, false},
        {S::FocusedHot, Note::LeftDown, false, S::FocusedHot, Skin::Pressed, false},
        {S::Hot, Note::OtherDown, false, S::Hot, std::nullopt, false},
        {S::FocusedHot, Note::LeftUp, true, S::FocusedHot, Skin::HighLightSelect, true},
        {S::Hot, Note::LeftUp, true, S::Hot, Skin::Normal, true},
        {S::Idle, Note::LeftUp, true, S::Idle, std::nullopt, true},
        {S::Focused, Note::LeftUp, true, S::Focused, std::nullopt, false},
        {S::Uninitialised, Note::LeftUp, true, S::Uninitialised, std::nullopt, true},
        {S::Hot, Note::OtherUp, false, S::Hot, std::nullopt, true},
        {S::FocusedHot, Note::OtherUp, false, S::FocusedHot, std::nullopt, true},
        {S::Focused, Note::OtherUp, false, S::Focused, std::nullopt, false},
        {S::Hot, Note::FocusIn, false, S::FocusedHot, Skin::Pressed, false},
        {S::Idle, Note::FocusIn, false, S::Focused, Skin::Selected, false},
        {S::Uninitialised, Note::FocusIn, false, S::Focused, Skin::Selected, false},
        {S::FocusedHot, Note::FocusIn, false, S::Focused, Skin::Selected, false},
        {S::Idle, Note::FocusIn, true, S::FocusedHot, Skin::Pressed,
         false}, // the press came before the focus
        {S::FocusedHot, Note::FocusOut, false, S::Idle, Skin::Normal, false},
        {S::Focused, Note::FocusOut, false, S::Idle, Skin::Normal, false},
        {S::Uninitialised, Note::FocusOut, false, S::Idle, Skin::Normal, false},
        {S::Idle, Note::FocusOut, false, S::Idle, std::nullopt, false},
        {S::Hot, Note::Leave, false, S::Idle, Skin::Normal, false},
        {S::FocusedHot, Note::Leave, true, S::Focused, Skin::Selected, false},
        {S::Focused, Note::Leave, false, S::Focused, std::nullopt, false},
        {S::Idle, Note::Leave, false, S::Idle, std::nullopt, false},
    };
    for (const Row& row : rows) {
        ButtonStateMachine m = machineAt(row.state, row.held);
        Reaction r = send(m, row.note);
        SCOPED_TRACE(testing::Message()
                     << "state " << int(row.state) << " note " << int(row.note) << " held " << row.held);
        EXPECT_EQ(m.state(), row.after);
        EXPECT_EQ(r, (Reaction{row.face, row.click}));
        if (row.note == Note::LeftUp || row.note == Note::LeftDown) {
            EXPECT_EQ(m.MouseHeld(), row.note == Note::LeftDown);
        }
    }
}

// Sequences through the whole control, so the enabled switch and the gradient direction take part.
struct Sequence : testing::Test {
    FakeSurface surface;
    CommandControl control{surface};
    void SetUp() override {
        control.Load(ButtonProperties{});
        control.Initialize();
        surface.takePaints();
    }
    void press() { control.buttonPressed(MouseButton::Left); }
    void release() { control.buttonReleased(MouseButton::Left); }
};

TEST_F(Sequence, NormalClickRaisesClickOnTheReleaseAndTheGradientFollowsTheHover) {
    EXPECT_FALSE(surface.polling); // nothing for a leave to change yet
    control.pointerMoved();
    EXPECT_TRUE(surface.polling);
    control.focusGained();
    press();
    EXPECT_EQ(surface.clicks, 0);
    release();
    EXPECT_EQ(surface.clicks, 1);
    control.mousePollTick(true);
    control.mousePollTick(false);
    EXPECT_FALSE(surface.polling);
    control.focusLost();
    // The press that brings the focus keeps the hot face's upside-down gradient.
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>{{Skin::HighLight, true},
                                                        {Skin::Pressed, true},
                                                        {Skin::Pressed, true},
                                                        {Skin::HighLightSelect, true},
                                                        {Skin::Selected, false},
                                                        {Skin::Normal, false}}));
    // A focused button the pointer enters keeps the light top.
    control.focusGained();
    control.pointerMoved();
    EXPECT_EQ(surface.takePaints(),
              (std::vector<Paint>{{Skin::Selected, false}, {Skin::HighLightSelect, false}}));
}

TEST_F(Sequence, DragOffAndBackRaisesNoClickAndStaysSelectedUntilTheNextMove) {
    control.pointerMoved();
    control.focusGained();
    press();
    control.mousePollTick(false); // dragged off: 4 -> 3
    control.pointerMoved();       // back on while held: nothing
    EXPECT_EQ(control.state(), ButtonState::Focused);
    surface.takePaints();
    release();
    EXPECT_EQ(surface.clicks, 0);
    EXPECT_TRUE(surface.takePaints().empty());
    control.pointerMoved();
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>{{Skin::HighLightSelect, false}}));
}

TEST_F(Sequence, UnfocusedAndRightButtonPressesStillClick) {
    control.pointerMoved();
    control.buttonPressed(MouseButton::Other);
    control.buttonReleased(MouseButton::Other);
    EXPECT_EQ(surface.clicks, 1);
    press(); // the button did not take the focus
    release();
    EXPECT_EQ(surface.clicks, 2);
    press();
    control.mousePollTick(false); // 2 -> 1, then released outside
    release();
    EXPECT_EQ(surface.clicks, 3);
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>{{Skin::HighLight, true},
                                                        {Skin::Pressed, true},
                                                        {Skin::Normal, true},
                                                        {Skin::Pressed, true},
                                                        {Skin::Normal, false}}));
}

TEST(ButtonSequence, BeforeInitializeOnlyFocusAndReleaseReact) {
    FakeSurface surface;
    CommandControl control(surface);
    control.Load(ButtonProperties{});
    surface.takePaints();
    control.pointerMoved();
    control.buttonReleased(MouseButton::Left);
    EXPECT_EQ(surface.clicks, 1);
    EXPECT_TRUE(surface.paints.empty());
    control.focusGained();
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>{{Skin::Selected, false}}));
    EXPECT_FALSE(surface.polling);
}

TEST_F(Sequence, DisabledButtonIgnoresEverythingAndKeepsItsState) {
    control.pointerMoved(); // hot, gradient reversed
    surface.takePaints();
    control.SetEnabled(false);
    control.focusGained();
    control.buttonPressed(MouseButton::Left);
    control.buttonReleased(MouseButton::Left);
    control.mousePollTick(false);
    EXPECT_EQ(surface.clicks, 0);
    EXPECT_EQ(control.state(), ButtonState::Hot);
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>{{Skin::Disable, true}}));
    EXPECT_FALSE(control.caption().enabled);
    EXPECT_FALSE(surface.polling);
    control.SetEnabled(true);
    EXPECT_TRUE(surface.polling);
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>{{Skin::Normal, true}}));
    EXPECT_EQ(control.state(), ButtonState::Hot);
}

} // namespace
} // namespace mirevo
