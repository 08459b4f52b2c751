#pragma once
// The property store a host keeps with each button of its layout: named values, a plain text or a font each,
// names matched without regard to letter case. Plain C++, so a host fills it from its own layout tables.
#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace mirevo {

// A font as a layout stores it, whole: the face name as written (a substitution may draw it with another
// face), the size in points, the weight (100 to 900, 400 regular, 700 bold) and the character set number.
struct FontSpec {
    std::string face;
    double pointSize = 0;
    int weight = 400;
    bool italic = false, underline = false, strikeout = false;
    int charset = 0;

    bool operator==(const FontSpec& other) const;
    bool operator!=(const FontSpec& other) const { return !(*this == other); }
};

class ButtonProperties {
public:
    // Replaces the value of a name already there (keeping its place and spelling), else appends it.
    void set(const std::string& name, const std::string& text);
    void setFont(const std::string& name, const FontSpec& font);
    void remove(const std::string& name);

    bool contains(const std::string& name) const;
    // nullopt when the name is missing or holds the other kind of value.
    std::optional<std::string> text(const std::string& name) const;
    std::optional<FontSpec> font(const std::string& name) const;
    // The names in the order they were first written.
    std::vector<std::string> names() const;

private:
    struct Entry {
        std::string name;
        std::variant<std::string, FontSpec> value;
    };
    // Index of the entry with this name, or entries_.size() when none.
    size_t indexOf(const std::string& name) const;
    void put(const std::string& name, std::variant<std::string, FontSpec> value);

    std::vector<Entry> entries_;
};

} // namespace mirevo
