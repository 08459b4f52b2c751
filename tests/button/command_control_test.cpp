// The Command button without a window: its faces and Click as the pointer, the focus and the mouse buttons
// come and go, and its properties: reads that repaint, writes that report, and the stored properties.
#include <gtest/gtest.h>

#include "saver/button/command_control.h"

namespace mirevo {
namespace {

using S = ButtonState;

// Records what the control asks of its window.
struct FakeSurface final : CommandSurface {
    std::string log; // the faces painted, "~" after one with the gradient upside down, and "C" for a Click
    std::vector<std::string> changed;
    int refreshes = 0;
    bool polling = false;

    void say(const std::string& word) { log += (log.empty() ? "" : " ") + word; }
    void paintFace(Skin skin, bool reversed) override {
        const char* names[] = {"Normal", "HighLight", "HighLightSelect", "Pressed", "Selected", "Disable"};
        say(names[int(skin)] + std::string(reversed ? "~" : ""));
    }
    void click() override { say("C"); }
    void refreshCaption() override { ++refreshes; }
    void runMousePoll(bool running) override { polling = running; }
    void propertyChanged(const char* name) override { changed.push_back(name); }
};

struct Button {
    FakeSurface surface;
    CommandControl control{surface};

    explicit Button(bool load = true, bool initialize = true) {
        if (load) control.Load(ButtonProperties{});
        if (initialize) control.Initialize();
        painted();
    }
    std::string painted() { return std::exchange(surface.log, {}); }
    // Sends notes: m move, p/r left press/release, P/R right press/release, i/o focus in/out, I focus that a
    // right press brought, l leave (the poll found the pointer elsewhere), e/d enable/disable; tells what
    // they painted.
    std::string operator()(const std::string& notes) {
        for (char note : notes) {
            if (note == 'm') control.pointerMoved();
            if (note == 'p' || note == 'P')
                control.buttonPressed(note == 'p' ? MouseButton::Left : MouseButton::Other);
            if (note == 'r' || note == 'R')
                control.buttonReleased(note == 'r' ? MouseButton::Left : MouseButton::Other);
            if (note == 'i' || note == 'I') control.focusGained(note == 'I');
            if (note == 'o') control.focusLost();
            if (note == 'l') control.mousePollTick(false);
            if (note == 'e' || note == 'd') control.SetEnabled(note == 'e');
        }
        return painted();
    }
};

TEST(ButtonStateMachine, EachNotificationMovesTheStateAndPicksTheFace) {
    // (state, left button held) + note -> (state, what was painted)
    const std::tuple<S, bool, char, S, const char*> rows[] = {
        {S::Idle, false, 'm', S::Hot, "HighLight~"},
        {S::Hot, false, 'm', S::Hot, ""},
        {S::Focused, false, 'm', S::FocusedHot, "HighLightSelect"},
        {S::Focused, true, 'm', S::Focused, ""},
        {S::Uninitialised, false, 'm', S::Uninitialised, ""},
        {S::Hot, false, 'p', S::Hot, "Pressed~"},
        {S::Hot, false, 'P', S::Hot, ""},
        {S::FocusedHot, true, 'r', S::FocusedHot, "HighLightSelect~ C"},
        {S::Hot, true, 'r', S::Hot, "Normal~ C"},
        {S::Idle, true, 'r', S::Idle, "C"},
        {S::Focused, true, 'r', S::Focused, ""},
        {S::Uninitialised, true, 'r', S::Uninitialised, "C"},
        {S::Hot, false, 'R', S::Hot, "C"},
        {S::Hot, false, 'i', S::FocusedHot, "Pressed~"},
        {S::Idle, false, 'i', S::Focused, "Selected"},
        {S::Uninitialised, false, 'i', S::Focused, "Selected"},
        {S::FocusedHot, false, 'i', S::Focused, "Selected"},
        {S::Idle, true, 'i', S::FocusedHot, "Pressed"}, // the press came before the focus
        {S::Hot, false, 'I', S::FocusedHot, "HighLightSelect~"}, // a right press shows no Pressed face
        {S::Idle, false, 'I', S::Focused, "Selected"},
        {S::FocusedHot, false, 'o', S::Idle, "Normal"},
        {S::Idle, false, 'o', S::Idle, ""},
        {S::Hot, false, 'l', S::Idle, "Normal"},
        {S::FocusedHot, true, 'l', S::Focused, "Selected"},
        {S::Focused, false, 'l', S::Focused, ""},
    };
    const char* reach[] = {"", "", "m", "i", "mi"};
    for (auto [state, held, note, after, painted] : rows) {
        Button button(true, state != S::Uninitialised);
        button(std::string(reach[int(state)]) + (held ? "p" : ""));
        SCOPED_TRACE(testing::Message() << int(state) << (held ? " held " : " ") << note);
        EXPECT_EQ(button(std::string(1, note)), painted);
        EXPECT_EQ(button.control.state(), after);
        EXPECT_EQ(button.control.MouseHeld(), note == 'p' || (held && note != 'r'));
    }
}

TEST(ButtonSequence, ClicksDragsAndTheGradientAsTheHoverGoes) {
    const std::pair<const char*, const char*> cases[] = {
        // A normal click: the press that brings the focus keeps the hot face's upside-down gradient.
        {"miprlo", "HighLight~ Pressed~ Pressed~ HighLightSelect~ C Selected Normal"},
        // A focused button the pointer enters keeps the light top.
        {"im", "Selected HighLightSelect"},
        // Drag off and release: no Click. Drag off and back: Selected until the first move after the release.
        {"miplr", "HighLight~ Pressed~ Pressed~ Selected"},
        {"miplmrm", "HighLight~ Pressed~ Pressed~ Selected HighLightSelect"},
        // Unfocused presses, the right button and a release outside after the poll all still click.
        {"mPRprplr", "HighLight~ C Pressed~ Normal~ C Pressed~ Normal C"},
        // A right press that brings the focus: hot and focused, never Pressed, and its release clicks.
        {"mIPRl", "HighLight~ HighLightSelect~ C Selected"},
        // Disabled: nothing reacts and the state stays; enabled again shows Normal.
        {"mdiprle", "HighLight~ Disable~ Normal~"},
    };
    for (auto [notes, painted] : cases)
        EXPECT_EQ(Button()(notes), painted) << notes;
    // Before Initialize a move does nothing, a release clicks, the focus gives Selected, and no poll runs.
    Button early(true, false);
    EXPECT_EQ(early("mri"), "C Selected");
    EXPECT_FALSE(early.surface.polling);
    // The poll's timer runs only while a face is hot (here: m l i m d e o).
    Button button;
    std::string polling;
    for (char note : std::string("mlimdeo")) {
        button(std::string(1, note));
        polling += button.surface.polling ? '1' : '0';
    }
    EXPECT_EQ(polling, "1001010");
}

const FontSpec kBold{"IPAPGothic", 12, 700, true, true, false, 0};

TEST(ButtonProperties, SaveWritesInOrderLeavesDefaultsOutAndLoadsBackTheSame) {
    Button button(false, false);
    ButtonProperties stored;
    for (auto [name, value] : {std::pair{"enabled", "false"},
                               {"caption", "ｷｬﾝｾﾙ"},
                               {"FirstRun", "0"},
                               {"FontColour", "255"},
                               {"Visible", "0"}})
        stored.set(name, value);
    stored.setFont("font", kBold);
    button.control.Load(stored);
    EXPECT_EQ(button.control.Caption(), "ｷｬﾝｾﾙ");
    ButtonProperties saved, again;
    button.control.Save(saved);
    EXPECT_EQ(saved.names(),
              (std::vector<std::string>{"Enabled", "Caption", "FirstRun", "Font", "FontColour", "Visible"}));
    Button other(false, false);
    other.control.Load(saved);
    other.control.Save(again);
    for (const std::string& name : saved.names()) {
        EXPECT_EQ(again.text(name), saved.text(name)) << name;
        EXPECT_EQ(again.font(name), saved.font(name)) << name;
    }
    // Back to the defaults everything goes, also names a host spelled otherwise; the host's own names stay.
    stored.set("_extentx", "2037");
    button.control.Load(ButtonProperties{});
    button.control.Save(stored);
    EXPECT_EQ(stored.names(), (std::vector<std::string>{"_extentx"}));
    // An empty store gave an enabled button with the Normal face (nothing saved: every value its default).
    EXPECT_EQ(button.painted(), "Normal Normal");
    EXPECT_EQ(button.control.Caption(), kDefaultCaption);
}

TEST(ButtonProperties, ValuesThatDoNotConvertLeaveThePropertyAsItWas) {
    Button button(false, false);
    ButtonProperties stored;
    stored.set("FontColour", "4660");
    stored.set("Visible", "0");
    stored.setFont("Font", kBold);
    button.control.Load(stored);
    for (auto [name, text] : {std::pair{"Enabled", "maybe"},
                              {"FirstRun", "256"},
                              {"FontColour", "16777216"},
                              {"Visible", "40000"},
                              {"Font", "not a font"}})
        stored.set(name, text);
    button.control.Load(stored);
    EXPECT_TRUE(button.control.enabledFlag());
    EXPECT_EQ(button.control.FirstRun(), 1);
    EXPECT_EQ(button.control.caption().colour, 4660u);
    EXPECT_FALSE(button.control.opaque());
    EXPECT_EQ(button.control.Font(), kBold);
}

TEST(ButtonProperties, ReadsRepaintAnEnabledButtonAndWritesReport) {
    Button button;
    button("m");
    CommandControl& c = button.control;
    // Each read paints Normal over the hot face; the state stays hot.
    EXPECT_EQ(c.FontColour(), 0u);
    c.SetVisible(7);
    EXPECT_EQ(c.Visible(), 255);
    EXPECT_TRUE(c.Enabled());
    EXPECT_EQ(button.painted(), "Normal~ Normal~ Normal~ Normal~");
    EXPECT_EQ(c.state(), ButtonState::Hot);
    // Caption and font writes report without a face paint; a colour with the top byte set is refused.
    c.SetCaption("...");
    c.SetFont(kBold);
    EXPECT_EQ(button.painted(), "");
    EXPECT_EQ(button.surface.refreshes, 2);
    c.SetFontColour(0x01000000);
    EXPECT_EQ(c.caption().colour, 0u);
    EXPECT_EQ(button.surface.changed, (std::vector<std::string>{"Visible", "Caption", "Font"}));
}

TEST(ButtonProperties, DisabledOrNeverLoadedButtons) {
    Button disabled(false, false);
    ButtonProperties stored;
    stored.set("Enabled", "False");
    disabled.control.Load(stored);
    disabled.control.SetFontColour(0x0000FF);
    disabled.control.SetVisible(0);
    EXPECT_EQ(disabled.control.FontColour(), 0x0000FFu);
    EXPECT_EQ(disabled.control.Visible(), 0);
    EXPECT_EQ(disabled.painted(), ""); // changed, not repainted
    EXPECT_EQ(disabled.surface.changed, (std::vector<std::string>{"FontColour", "Visible"}));
    EXPECT_FALSE(disabled.control.Enabled());
    disabled.control.SetEnabled(true);
    EXPECT_EQ(disabled.painted(), "Disable Normal");

    // Never loaded: off (Disable on its first size) until the first read of Enabled switches it on.
    Button fresh(false, false);
    fresh.control.resized();
    EXPECT_EQ(fresh.painted(), "Disable");
    EXPECT_TRUE(fresh.control.Enabled());
    EXPECT_EQ(fresh.painted(), "Normal");
    EXPECT_EQ(fresh.control.FirstRun(), 1);
    EXPECT_TRUE(fresh.control.caption().enabled);
}

} // namespace
} // namespace mirevo
