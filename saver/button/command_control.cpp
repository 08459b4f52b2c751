#include "saver/button/command_control.h"

#include <optional>

#include "shared/settings/decimal_number.h"

namespace mirevo {

namespace {

bool equalsIgnoringCase(const std::string& text, const char* word) {
    size_t i = 0;
    for (; word[i] != '\0'; ++i) {
        if (i >= text.size()) return false;
        char c = text[i] >= 'A' && text[i] <= 'Z' ? char(text[i] - 'A' + 'a') : text[i];
        char w = word[i] >= 'A' && word[i] <= 'Z' ? char(word[i] - 'A' + 'a') : word[i];
        if (c != w) return false;
    }
    return i == text.size();
}

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Stored values are text: a flag is "True" or "False" (any case) or a number, non-zero meaning true; a
// number is decimal, rounded half to even, and must fit its type. Anything else fails to convert and the
// property keeps its value.
std::optional<bool> toFlag(const std::string& text) {
    std::string t = trimmed(text);
    if (equalsIgnoringCase(t, "true")) return true;
    if (equalsIgnoringCase(t, "false")) return false;
    auto number = readDecimal(t);
    if (!number) return std::nullopt;
    return !(number->wholeDigits.empty() &&
             number->fractionDigits.find_first_not_of('0') == std::string::npos);
}

std::optional<int64_t> toInteger(const std::string& text, int64_t lowest, int64_t highest) {
    auto number = readDecimal(text);
    if (!number) return std::nullopt;
    auto value = roundHalfEven(*number);
    if (!value || *value < lowest || *value > highest) return std::nullopt;
    return value;
}

// A caption colour is 0x00BBGGRR; a value with the top byte set is not a colour and is refused.
bool isColour(int64_t value) {
    return value >= 0 && value <= 0xFFFFFF;
}

} // namespace

FontSpec ambientFont() {
    return {"ＭＳ Ｐゴシック", 9.75, 400, false, false, false, 128};
}

CommandControl::CommandControl(CommandSurface& surface) : surface_(surface) {
    caption_.font = ambientFont();
}

void CommandControl::Initialize() {
    machine_.initialize();
    initialized_ = true;
    updateMousePoll();
}

bool CommandControl::Enabled() {
    // A control that was never loaded switches itself on at the first read.
    if (firstRun_ == 0) {
        ApplyLook();
        firstRun_ = 1;
        enabled_ = true;
    }
    bool result = enabled_;
    ShowEnabledFace();
    updateMousePoll();
    return result;
}

void CommandControl::SetEnabled(bool enabled) {
    enabled_ = enabled;
    surface_.propertyChanged("Enabled");
    ShowEnabledFace();
    updateMousePoll();
}

void CommandControl::SetCaption(const std::string& text) {
    caption_.text = text;
    surface_.propertyChanged("Caption");
    surface_.refreshCaption();
}

void CommandControl::SetFont(const FontSpec& font) {
    caption_.font = font;
    surface_.propertyChanged("Font");
    surface_.refreshCaption();
}

uint32_t CommandControl::FontColour() {
    uint32_t colour = caption_.colour;
    ApplyLook();
    return colour;
}

void CommandControl::SetFontColour(uint32_t colour) {
    if (!isColour(colour)) {
        ApplyLook();
        return;
    }
    caption_.colour = colour;
    if (!ApplyLook()) surface_.refreshCaption();
    surface_.propertyChanged("FontColour");
}

uint8_t CommandControl::Visible() {
    if (!opaque_) return 0;
    ApplyLook();
    return 255;
}

void CommandControl::SetVisible(uint8_t visible) {
    opaque_ = visible != 0;
    if (!opaque_ || !ApplyLook()) surface_.refreshCaption();
    surface_.propertyChanged("Visible");
}

void CommandControl::Load(const ButtonProperties& store) {
    // A missing name gives its default; a value that does not convert leaves the property as it was.
    auto stored = [&](const char* name, const std::string& fallback) -> std::optional<std::string> {
        if (!store.contains(name)) return fallback;
        return store.text(name);
    };
    if (auto text = stored("Enabled", "True"))
        if (auto flag = toFlag(*text)) enabled_ = *flag;
    if (auto text = stored("Caption", kDefaultCaption)) caption_.text = *text;
    if (!store.contains("Font"))
        caption_.font = ambientFont();
    else if (auto font = store.font("Font"))
        caption_.font = *font;
    if (auto text = stored("FirstRun", "1"))
        if (auto number = toInteger(*text, 0, 255)) firstRun_ = uint8_t(*number);
    if (auto text = stored("FontColour", "0"))
        if (auto number = toInteger(*text, INT32_MIN, INT32_MAX); number && isColour(*number))
            caption_.colour = uint32_t(*number);
    if (auto text = stored("Visible", "1"))
        if (auto number = toInteger(*text, INT16_MIN, INT16_MAX)) opaque_ = *number != 0;
    if (!ApplyLook()) surface_.refreshCaption();
    updateMousePoll();
}

void CommandControl::Save(ButtonProperties& store) {
    // A value equal to its default is left out, so that reading it back gives that default.
    auto write = [&](const char* name, const std::string& value, const std::string& fallback) {
        if (value == fallback)
            store.remove(name);
        else
            store.set(name, value);
    };
    write("Enabled", enabled_ ? "True" : "False", "True");
    write("Caption", caption_.text, kDefaultCaption);
    write("FirstRun", std::to_string(firstRun_), "1");
    if (caption_.font == ambientFont())
        store.remove("Font");
    else
        store.setFont("Font", caption_.font);
    write("FontColour", std::to_string(caption_.colour), "0");
    write("Visible", opaque_ ? "1" : "0", "1");
    ApplyLook();
}

void CommandControl::pointerMoved() {
    if (enabled_) react(machine_.pointerMoved());
}

void CommandControl::buttonPressed(MouseButton button) {
    if (enabled_) react(machine_.buttonPressed(button));
}

void CommandControl::buttonReleased(MouseButton button) {
    if (enabled_) react(machine_.buttonReleased(button));
}

void CommandControl::focusGained(bool otherButtonPress) {
    if (enabled_) react(machine_.focusGained(otherButtonPress));
}

void CommandControl::focusLost() {
    if (enabled_) react(machine_.focusLost());
}

void CommandControl::mousePollTick(bool pointerOnControl) {
    if (enabled_ && !pointerOnControl) react(machine_.LeaveHover());
}

bool CommandControl::ApplyLook() {
    if (!enabled_) return false;
    caption_.enabled = true;
    if (firstRun_ == 0) caption_.colour = 0;
    PaintFace(Skin::Normal);
    return true;
}

void CommandControl::ShowEnabledFace() {
    caption_.enabled = enabled_;
    PaintFace(enabled_ ? Skin::Normal : Skin::Disable);
}

void CommandControl::PaintFace(Skin skin) {
    // The hot face shows the gradient upside down; a press that takes the focus keeps whatever it was.
    switch (machine_.state()) {
    case ButtonState::Idle:
    case ButtonState::Focused:
        gradientReversed_ = false;
        break;
    case ButtonState::Hot:
        gradientReversed_ = true;
        break;
    default:
        break;
    }
    surface_.paintFace(skin, gradientReversed_);
}

void CommandControl::react(const Reaction& reaction) {
    if (reaction.face) PaintFace(*reaction.face);
    updateMousePoll();
    if (reaction.click) surface_.click();
}

void CommandControl::updateMousePoll() {
    ButtonState s = machine_.state();
    bool running = initialized_ && enabled_ && (s == ButtonState::Hot || s == ButtonState::FocusedHot);
    if (running == pollRunning_) return;
    pollRunning_ = running;
    surface_.runMousePoll(running);
}

} // namespace mirevo
