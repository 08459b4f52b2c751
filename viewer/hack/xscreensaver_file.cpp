#include "viewer/hack/xscreensaver_file.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace mirevo::viewer {

namespace {

// Split on '\n': joining the pieces with '\n' gives back the very same text.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += '\n';
        text += lines[i];
    }
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string trim(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && (isBlank(s[begin]) || s[begin] == '\r')) ++begin;
    while (end > begin && (isBlank(s[end - 1]) || s[end - 1] == '\r')) --end;
    return s.substr(begin, end - begin);
}

// A line that goes on in the next one ends in one backslash (two are an escaped backslash).
bool continues(const std::string& line) {
    size_t count = 0;
    for (size_t i = line.size(); i > 0 && line[i - 1] == '\\'; --i) ++count;
    return count % 2 == 1;
}

// The resource a line names: the last component of the text before its colon; empty for comments and
// lines without one.
std::string lineResource(const std::string& line) {
    const std::string text = trim(line);
    if (text.empty() || text[0] == '!' || text[0] == '#') return {};
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return {};
    std::string key = trim(text.substr(0, colon));
    const size_t cut = key.find_last_of(".*");
    if (cut != std::string::npos) key = key.substr(cut + 1);
    return key;
}

// Where a resource's value starts and ends: the first line and one past the last.
struct Block {
    size_t first, end;
};

std::optional<Block> lastBlock(const std::vector<std::string>& lines, const std::string& name) {
    std::optional<Block> found;
    for (size_t i = 0; i < lines.size();) {
        size_t end = i + 1;
        while (end - 1 < lines.size() && continues(lines[end - 1]) && end < lines.size()) ++end;
        if (lineResource(lines[i]) == name) found = Block{i, end};
        i = end;
    }
    return found;
}

// The hack an entry of the programs list runs: the last path component of its command's first word.
// An entry reads [-] [visual:] ["name"] command args.
std::string entryHack(std::string entry) {
    entry = trim(entry);
    if (!entry.empty() && entry[0] == '-') entry = trim(entry.substr(1));
    const size_t firstSpace = entry.find_first_of(" \t");
    const std::string firstWord = entry.substr(0, firstSpace);
    if (!firstWord.empty() && firstWord.back() == ':' && firstWord.find('"') == std::string::npos)
        entry = trim(firstSpace == std::string::npos ? std::string() : entry.substr(firstSpace));
    if (!entry.empty() && entry[0] == '"') {
        const size_t close = entry.find('"', 1);
        entry = close == std::string::npos ? std::string() : trim(entry.substr(close + 1));
    }
    std::string command = entry.substr(0, entry.find_first_of(" \t\\"));
    const size_t slash = command.rfind('/');
    return slash == std::string::npos ? command : command.substr(slash + 1);
}

// Lines after the header, grouped into entries: each entry's lines up to the one that ends in "\n".
struct Entry {
    size_t first, end;
    std::string hack;
};

std::vector<Entry> programEntries(const std::vector<std::string>& lines, const Block& block) {
    std::vector<Entry> entries;
    std::string text;
    size_t first = block.first + 1;
    for (size_t i = block.first + 1; i < block.end; ++i) {
        std::string line = lines[i];
        if (continues(line)) line.pop_back();
        line = trim(line);
        const bool ends = line.size() >= 2 && line.compare(line.size() - 2, 2, "\\n") == 0;
        text += ' ' + (ends ? line.substr(0, line.size() - 2) : line);
        if (ends || i + 1 == block.end) {
            if (!trim(text).empty()) entries.push_back({first, i + 1, entryHack(text)});
            text.clear();
            first = i + 1;
        }
    }
    return entries;
}

} // namespace

std::optional<std::string> resourceValue(const std::string& text, const std::string& name) {
    const auto lines = splitLines(text);
    const auto block = lastBlock(lines, name);
    if (!block) return std::nullopt;
    std::string value;
    for (size_t i = block->first; i < block->end; ++i) {
        std::string line = lines[i];
        if (i == block->first) line = line.substr(line.find(':') + 1);
        if (continues(line)) line.pop_back();
        value += line;
    }
    return trim(value);
}

std::optional<bool> resourceTruth(const std::string& value) {
    std::string lower = trim(value);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "true" || lower == "yes" || lower == "on" || lower == "1") return true;
    if (lower == "false" || lower == "no" || lower == "off" || lower == "0") return false;
    return std::nullopt;
}

bool desktopImagesAllowed(const std::optional<std::string>& userFile,
                          const std::optional<std::string>& systemFile) {
    for (const auto& file : {userFile, systemFile}) {
        if (!file) continue;
        if (auto value = resourceValue(*file, "grabDesktopImages"))
            if (auto truth = resourceTruth(*value)) return *truth;
    }
    return false;
}

ProgramsEditResult addHackToPrograms(const std::string& text, const std::string& command,
                                     const std::string& hackName) {
    auto lines = splitLines(text);
    const auto block = lastBlock(lines, "programs");
    if (!block) return {ProgramsEdit::NoList, text};
    for (const Entry& entry : programEntries(lines, *block))
        if (entry.hack == hackName) return {ProgramsEdit::AlreadyThere, text};
    std::string& header = lines[block->first];
    std::string afterColon = header.substr(header.find(':') + 1);
    const bool headerContinues = continues(afterColon);
    if (headerContinues) afterColon.pop_back();
    // Only a header that holds no entry of its own can take the new one right after it.
    if (!trim(afterColon).empty()) return {ProgramsEdit::NoList, text};
    // Named, as the settings list a hack without a name of its own by its command.
    std::string entry = "  GL: \t\t\t\"Mirevo\" " + command + " --root\t\t\t\t    \\n";
    if (headerContinues || block->end - block->first > 1)
        entry += "\\";
    else
        header += "\\"; // no padding: taking the entry out again takes off only the backslash
    lines.insert(lines.begin() + static_cast<long>(block->first) + 1, entry);
    return {ProgramsEdit::Changed, joinLines(lines)};
}

ProgramsEditResult removeHackFromPrograms(const std::string& text, const std::string& hackName) {
    auto lines = splitLines(text);
    const auto block = lastBlock(lines, "programs");
    if (!block) return {ProgramsEdit::NoList, text};
    const auto entries = programEntries(lines, *block);
    std::vector<bool> drop(lines.size(), false);
    bool any = false;
    for (const Entry& entry : entries)
        if (entry.hack == hackName) {
            std::fill(drop.begin() + static_cast<long>(entry.first), drop.begin() + static_cast<long>(entry.end),
                      true);
            any = true;
        }
    if (!any) return {ProgramsEdit::NotThere, text};
    // When the list's last line goes, the line now last must end the value instead of running on.
    if (drop[block->end - 1] && !continues(lines[block->end - 1])) {
        size_t last = block->end - 1;
        while (last > block->first && drop[last]) --last;
        if (continues(lines[last])) lines[last].pop_back();
    }
    std::vector<std::string> kept;
    for (size_t i = 0; i < lines.size(); ++i)
        if (!drop[i]) kept.push_back(lines[i]);
    return {ProgramsEdit::Changed, joinLines(kept)};
}

} // namespace mirevo::viewer
