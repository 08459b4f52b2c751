#pragma once
// The Command button's record and behaviour without a window: its properties with their side effects, the
// stored properties, and the state machine, with what it asks of its window behind CommandSurface.
#include <cstdint>
#include <string>

#include "saver/button/button_properties.h"
#include "saver/button/button_state_machine.h"

namespace mirevo {

// What the control asks of the window it lives in.
class CommandSurface {
public:
    virtual ~CommandSurface() = default;
    // Draws the whole face with the skin over the gradient, places the caption and shows both.
    virtual void paintFace(Skin skin, bool gradientReversed) = 0;
    // The caption or the background mode changed: show them again over the face as it is (not a face paint).
    virtual void refreshCaption() = 0;
    // The 100 ms leave poll's timer on or off. The poll is on from Initialize for the control's life, but
    // only a hot face can drop when the pointer leaves, so the timer ticks only while the face is hot.
    virtual void runMousePoll(bool running) = 0;
    virtual void propertyChanged(const char* name) = 0;
    virtual void click() = 0;
};

// The caption label: text, font and colour are the control's; it is greyed while the control is disabled.
struct CaptionLook {
    std::string text = "Command";
    FontSpec font;
    uint32_t colour = 0; // 0x00BBGGRR
    bool enabled = true;
};

// The font a host gives a control that stores none: the dialogs' "ＭＳ Ｐゴシック" 9.75 pt regular, Japanese.
FontSpec ambientFont();
// The caption a store without one gives, and the one Save leaves out: the label's own first text.
inline const char* const kDefaultCaption = "Command";

class CommandControl {
public:
    explicit CommandControl(CommandSurface& surface);

    void Initialize();
    bool Enabled();
    void SetEnabled(bool enabled);
    const std::string& Caption() const { return caption_.text; }
    void SetCaption(const std::string& text);
    const FontSpec& Font() const { return caption_.font; }
    void SetFont(const FontSpec& font);
    uint32_t FontColour();
    void SetFontColour(uint32_t colour);
    uint8_t Visible();
    void SetVisible(uint8_t visible);
    void Load(const ButtonProperties& store);
    void Save(ButtonProperties& store);

    // Notifications from the window; none reacts while the control is disabled.
    void pointerMoved();
    void buttonPressed(MouseButton button);
    void buttonReleased(MouseButton button);
    // otherButtonPress: the focus came with a press of another mouse button than the left, or with the
    // window's activation while no left press is held on the control.
    void focusGained(bool otherButtonPress = false);
    void focusLost();
    void mousePollTick(bool pointerOnControl);
    void resized() { ShowEnabledFace(); }

    // For the window's drawing and for tests: plain reads without side effects.
    const CaptionLook& caption() const { return caption_; }
    bool opaque() const { return opaque_; }
    bool enabledFlag() const { return enabled_; }
    uint8_t FirstRun() const { return firstRun_; }
    ButtonState state() const { return machine_.state(); }
    bool MouseHeld() const { return machine_.MouseHeld(); }

private:
    // Return whether they painted the face, so a change that needs showing is shown once.
    bool ApplyLook();
    void ShowEnabledFace();
    void PaintFace(Skin skin);
    void react(const Reaction& reaction);
    void updateMousePoll();

    CommandSurface& surface_;
    ButtonStateMachine machine_;
    CaptionLook caption_;
    bool gradientReversed_ = false;
    uint8_t firstRun_ = 0;
    bool enabled_ = false;
    bool opaque_ = true;
    bool initialized_ = false, pollRunning_ = false;
};

} // namespace mirevo
