// Reading and editing ini text in memory. The file functions build on these.
#include "saver/startup/profile_file.h"

#include <vector>

namespace mirevo {
namespace {

constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

struct Line {
    std::string content; // without its line ending
    std::string ending;  // "\n", "\r\n" or "" (last line without one)
};

enum class LineKind { Other, Comment, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string name;  // section or key name, trimmed
    std::string value; // key value, trimmed, quotes still on
};

// A stray CR (a last line cut after it, a doubled CR before LF) is no part of a name or value either, so an
// edit that gives such a line its proper ending cannot change what it reads as.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII letters without regard to case; every other byte (Japanese included) exactly.
bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

std::vector<Line> splitLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t newline = text.find('\n', start);
        if (newline == std::string::npos) {
            lines.push_back({text.substr(start), ""});
            break;
        }
        std::size_t contentEnd = newline;
        if (contentEnd > start && text[contentEnd - 1] == '\r') --contentEnd;
        lines.push_back(
            {text.substr(start, contentEnd - start), text.substr(contentEnd, newline + 1 - contentEnd)});
        start = newline + 1;
    }
    return lines;
}

std::string joinLines(const std::vector<Line>& lines) {
    std::string text;
    for (const Line& line : lines)
        text += line.content + line.ending;
    return text;
}

// The file's own line ending, taken from its first line break; LF for a file that has none.
std::string lineEndingOf(const std::string& text) {
    const std::size_t newline = text.find('\n');
    if (newline != std::string::npos && newline > 0 && text[newline - 1] == '\r') return "\r\n";
    return "\n";
}

ParsedLine parseLine(const std::string& content, bool firstLine) {
    std::string text = content;
    if (firstLine && text.compare(0, 3, kUtf8Bom) == 0) text.erase(0, 3);
    text = trim(text);
    ParsedLine parsed;
    if (text.empty()) return parsed;
    if (text[0] == ';') {
        parsed.kind = LineKind::Comment;
    } else if (text[0] == '[') {
        parsed.kind = LineKind::Section;
        const std::size_t close = text.find(']');
        parsed.name = trim(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    } else if (const std::size_t equals = text.find('='); equals != std::string::npos) {
        parsed.kind = LineKind::Key;
        parsed.name = trim(text.substr(0, equals));
        parsed.value = trim(text.substr(equals + 1));
    }
    return parsed;
}

std::vector<ParsedLine> parseLines(const std::vector<Line>& lines) {
    std::vector<ParsedLine> parsed;
    parsed.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        parsed.push_back(parseLine(lines[i].content, i == 0));
    return parsed;
}

std::string unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool needsQuotes(const std::string& value) {
    if (value.empty()) return false;
    return isBlank(value.front()) || isBlank(value.back()) || unquote(value) != value;
}

bool fitsOnALine(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// Where the first section of that name starts and ends (one past its last line). npos when it is missing.
struct SectionSpan {
    std::size_t header = std::string::npos;
    std::size_t end = 0;
};

SectionSpan findSection(const std::vector<ParsedLine>& parsed, const std::string& section) {
    SectionSpan span;
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        if (parsed[i].kind != LineKind::Section) continue;
        if (span.header != std::string::npos) {
            span.end = i;
            return span;
        }
        if (sameName(parsed[i].name, section)) span.header = i;
    }
    span.end = parsed.size();
    return span;
}

std::size_t findKey(const std::vector<ParsedLine>& parsed, const SectionSpan& span, const std::string& key) {
    for (std::size_t i = span.header + 1; i < span.end; ++i)
        if (parsed[i].kind == LineKind::Key && sameName(parsed[i].name, key)) return i;
    return std::string::npos;
}

} // namespace

std::optional<std::string> profileTextValue(const std::string& text, const std::string& section,
                                            const std::string& key) {
    const auto parsed = parseLines(splitLines(text));
    const SectionSpan span = findSection(parsed, trim(section));
    if (span.header == std::string::npos) return std::nullopt;
    const std::size_t line = findKey(parsed, span, trim(key));
    if (line == std::string::npos) return std::nullopt;
    return unquote(parsed[line].value);
}

std::optional<std::string> profileTextWithValue(const std::string& text, const std::string& section,
                                                const std::string& key, const std::string& value) {
    const std::string sectionName = trim(section);
    const std::string keyName = trim(key);
    if (sectionName.empty() || keyName.empty() || !fitsOnALine(sectionName) || !fitsOnALine(keyName) ||
        !fitsOnALine(value) || sectionName.find(']') != std::string::npos ||
        keyName.find('=') != std::string::npos || keyName[0] == ';' || keyName[0] == '[')
        return std::nullopt;
    const std::string stored = needsQuotes(value) ? '"' + value + '"' : value;

    std::vector<Line> lines = splitLines(text);
    const auto parsed = parseLines(lines);
    const std::string eol = lineEndingOf(text);
    const SectionSpan span = findSection(parsed, sectionName);

    if (span.header == std::string::npos) {
        // A new section goes at the end, set off from what is there by one blank line.
        if (!lines.empty()) {
            if (lines.back().ending.empty()) lines.back().ending = eol;
            if (!trim(lines.back().content).empty()) lines.push_back({"", eol});
        }
        lines.push_back({"[" + sectionName + "]", eol});
        lines.push_back({keyName + "=" + stored, eol});
        return joinLines(lines);
    }

    const std::size_t existing = findKey(parsed, span, keyName);
    if (existing != std::string::npos) {
        // Keep the key as the file spells it, so a hand-edited file changes only in its value.
        lines[existing].content = parsed[existing].name + "=" + stored;
        return joinLines(lines);
    }

    std::size_t after = span.header;
    for (std::size_t i = span.header + 1; i < span.end; ++i)
        if (parsed[i].kind == LineKind::Key) after = i;
    Line added{keyName + "=" + stored, lines[after].ending};
    lines[after].ending = eol;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after + 1), added);
    return joinLines(lines);
}

} // namespace mirevo
