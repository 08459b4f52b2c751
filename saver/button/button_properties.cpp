#include "saver/button/button_properties.h"

#include <algorithm>

namespace mirevo {

namespace {
// Property names are ASCII; letters compare without their case.
bool sameName(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}
} // namespace

bool FontSpec::operator==(const FontSpec& other) const {
    return face == other.face && pointSize == other.pointSize && weight == other.weight &&
           italic == other.italic && underline == other.underline && strikeout == other.strikeout &&
           charset == other.charset;
}

size_t ButtonProperties::indexOf(const std::string& name) const {
    size_t i = 0;
    while (i < entries_.size() && !sameName(entries_[i].name, name))
        ++i;
    return i;
}

void ButtonProperties::put(const std::string& name, std::variant<std::string, FontSpec> value) {
    size_t i = indexOf(name);
    if (i < entries_.size())
        entries_[i].value = std::move(value);
    else
        entries_.push_back({name, std::move(value)});
}

void ButtonProperties::set(const std::string& name, const std::string& text) {
    put(name, text);
}

void ButtonProperties::setFont(const std::string& name, const FontSpec& font) {
    put(name, font);
}

void ButtonProperties::remove(const std::string& name) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const Entry& e) { return sameName(e.name, name); }),
                   entries_.end());
}

bool ButtonProperties::contains(const std::string& name) const {
    return indexOf(name) < entries_.size();
}

std::optional<std::string> ButtonProperties::text(const std::string& name) const {
    size_t i = indexOf(name);
    if (i == entries_.size()) return std::nullopt;
    if (const auto* text = std::get_if<std::string>(&entries_[i].value)) return *text;
    return std::nullopt;
}

std::optional<FontSpec> ButtonProperties::font(const std::string& name) const {
    size_t i = indexOf(name);
    if (i == entries_.size()) return std::nullopt;
    if (const auto* font = std::get_if<FontSpec>(&entries_[i].value)) return *font;
    return std::nullopt;
}

std::vector<std::string> ButtonProperties::names() const {
    std::vector<std::string> out;
    for (const Entry& e : entries_)
        out.push_back(e.name);
    return out;
}

} // namespace mirevo
