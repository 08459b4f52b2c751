// Reading and editing ini text in memory, one line at a time, so that even the largest file accepted costs
// little more than its own bytes. The file functions build on these.
#include "shared/settings_file/profile_file.h"

#include <string_view>

#include "shared/settings_file/profile_encoding.h"

namespace mirevo {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::size_t kNone = std::string::npos;

struct Line {
    std::string_view content; // without its line ending
    std::string_view ending;  // "\n", "\r\n" or "" (last line without one)
};

// Walks the lines of a text without copying it.
class LineWalker {
public:
    explicit LineWalker(std::string_view bytes) : rest_(bytes) {}
    bool next(Line& line) {
        if (rest_.empty()) return false;
        const std::size_t newline = rest_.find('\n');
        if (newline == kNone) {
            line = {rest_, {}};
            rest_ = {};
            return true;
        }
        std::size_t contentEnd = newline;
        if (contentEnd > 0 && rest_[contentEnd - 1] == '\r') --contentEnd;
        line = {rest_.substr(0, contentEnd), rest_.substr(contentEnd, newline + 1 - contentEnd)};
        rest_.remove_prefix(newline + 1);
        return true;
    }

private:
    std::string_view rest_;
};

enum class LineKind { Other, Comment, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    bool readable = true;   // false for a line in no encoding we know: its names match no name
    std::string_view text;  // the line in UTF-8, or its own bytes when it is not readable
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // key value, trimmed, quotes still on
};

// A stray CR (a last line cut after it, a doubled CR before LF) is no part of a name or value either, so an
// edit that gives such a line its proper ending cannot change what it reads as.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII letters without regard to case; every other byte (Japanese included) exactly.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

// Decodes and parses one line after another; what a parsed line points at lasts until the next one.
class LineParser {
public:
    ParsedLine parse(std::string_view content, bool firstLine) {
        ParsedLine parsed;
        const auto decoded = decoder_.decode(content);
        parsed.readable = decoded.has_value();
        parsed.text = decoded ? *decoded : content;
        std::string_view text = parsed.text;
        if (firstLine && text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
        text = trim(text);
        if (text.empty()) return parsed;
        if (text[0] == ';') {
            parsed.kind = LineKind::Comment;
        } else if (text[0] == '[') {
            parsed.kind = LineKind::Section;
            const std::size_t close = text.find(']');
            parsed.name = trim(text.substr(1, close == kNone ? kNone : close - 1));
        } else if (const std::size_t equals = text.find('='); equals != kNone) {
            parsed.kind = LineKind::Key;
            parsed.name = trim(text.substr(0, equals));
            parsed.value = trim(text.substr(equals + 1));
        }
        return parsed;
    }

private:
    ProfileLineDecoder decoder_;
};

bool names(const ParsedLine& line, LineKind kind, std::string_view name) {
    return line.kind == kind && line.readable && sameName(line.name, name);
}

std::string unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool needsQuotes(const std::string& value) {
    if (value.empty()) return false;
    return isBlank(value.front()) || isBlank(value.back()) || unquote(value) != value;
}

// Text in any other encoding would read back as something else, or as nothing.
bool fitsOnALine(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == kNone && isValidUtf8(text);
}

// The file's own line ending, taken from its first line break; LF for a file that has none.
std::string_view lineEndingOf(std::string_view text) {
    const std::size_t newline = text.find('\n');
    if (newline != kNone && newline > 0 && text[newline - 1] == '\r') return "\r\n";
    return "\n";
}

// Where an edit goes, by line number: the first section of that name (kNone when it is missing), its key
// line (kNone when missing) and the line a new key follows (its last key line, else its header).
struct EditPlace {
    std::size_t header = kNone;
    std::size_t key = kNone;
    std::size_t after = kNone;
    bool lastLineEnded = true; // the text ends with a line break (or is empty)
    bool lastLineBlank = true;
};

EditPlace findEditPlace(std::string_view bytes, std::string_view section, std::string_view key) {
    EditPlace place;
    LineWalker lines(bytes);
    LineParser parser;
    Line line;
    bool inSection = false;
    for (std::size_t i = 0; lines.next(line); ++i) {
        place.lastLineEnded = !line.ending.empty();
        place.lastLineBlank = trim(line.content).empty();
        const ParsedLine parsed = parser.parse(line.content, i == 0);
        if (parsed.kind == LineKind::Section) {
            inSection = place.header == kNone && names(parsed, LineKind::Section, section);
            if (inSection) place.header = place.after = i;
        } else if (inSection && parsed.kind == LineKind::Key) {
            place.after = i;
            if (place.key == kNone && names(parsed, LineKind::Key, key)) place.key = i;
        }
    }
    return place;
}

} // namespace

std::optional<std::string> profileTextValue(const std::string& bytes, const std::string& section,
                                            const std::string& key) {
    const std::string_view sectionName = trim(section);
    const std::string_view keyName = trim(key);
    LineWalker lines(bytes);
    LineParser parser;
    Line line;
    bool inSection = false;
    for (bool first = true; lines.next(line); first = false) {
        const ParsedLine parsed = parser.parse(line.content, first);
        if (parsed.kind == LineKind::Section) {
            if (inSection) return std::nullopt; // only the first section of that name counts
            inSection = names(parsed, LineKind::Section, sectionName);
        } else if (inSection && names(parsed, LineKind::Key, keyName)) {
            return unquote(parsed.value);
        }
    }
    return std::nullopt;
}

std::optional<std::string> profileTextWithValue(const std::string& bytes, const std::string& section,
                                                const std::string& key, const std::string& value) {
    const std::string_view sectionName = trim(section);
    const std::string_view keyName = trim(key);
    if (sectionName.empty() || keyName.empty() || !fitsOnALine(sectionName) || !fitsOnALine(keyName) ||
        !fitsOnALine(value) || sectionName.find(']') != kNone || keyName.find('=') != kNone ||
        keyName[0] == ';' || keyName[0] == '[')
        return std::nullopt;
    const std::string stored = needsQuotes(value) ? '"' + value + '"' : value;
    const std::string_view eol = lineEndingOf(bytes);
    const EditPlace place = findEditPlace(bytes, sectionName, keyName);

    std::string out;
    out.reserve(bytes.size() + sectionName.size() + keyName.size() + stored.size() + 16);
    const auto put = [&out](std::string_view piece) { out.append(piece.data(), piece.size()); };
    LineWalker lines(bytes);
    LineParser parser;
    Line line;
    for (std::size_t i = 0; lines.next(line); ++i) {
        const ParsedLine parsed = parser.parse(line.content, i == 0);
        if (i == place.key) {
            // Keep the key as the file spells it, so a hand-edited file changes only in its value.
            put(parsed.name);
            put("=");
            put(stored);
        } else {
            put(parsed.text);
        }
        if (i == place.after && place.key == kNone) {
            // The new key takes over this line's ending, which may be none at the end of the text.
            put(eol);
            put(keyName);
            put("=");
            put(stored);
        }
        put(line.ending);
        if (out.size() > kMaxProfileFileBytes) return std::nullopt;
    }
    if (place.header == kNone) {
        // A new section goes at the end, set off from what is there by one blank line.
        if (!out.empty()) {
            if (!place.lastLineEnded) put(eol);
            if (!place.lastLineBlank) put(eol);
        }
        put("[");
        put(sectionName);
        put("]");
        put(eol);
        put(keyName);
        put("=");
        put(stored);
        put(eol);
    }
    if (out.size() > kMaxProfileFileBytes) return std::nullopt;
    return out;
}

std::optional<std::string> profileTextWithValues(const std::string& bytes, const std::string& section,
                                                 const std::vector<ProfileValue>& values) {
    std::optional<std::string> text = bytes;
    for (const ProfileValue& entry : values) {
        text = profileTextWithValue(*text, section, entry.key, entry.value);
        if (!text) return std::nullopt;
    }
    return text;
}

} // namespace mirevo
