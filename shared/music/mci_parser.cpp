#include "shared/music/mci_parser.h"

#include "shared/music/mci_errors.h"

namespace mirevo {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return lowerAscii(a) == lowerAscii(b);
}

std::variant<MciCommand, int32_t> parseMciCommand(std::string_view text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos) return mci_error::NO_CLOSING_QUOTE;
            // A path holding a quotation mark ends the quoted name early; what follows must not be taken
            // for further command words.
            if (close + 1 < text.size() && !isBlank(text[close + 1])) return mci_error::EXTRA_CHARACTERS;
            words.emplace_back(text.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        size_t end = i;
        while (end < text.size() && !isBlank(text[end])) {
            if (text[end] == '"') return mci_error::EXTRA_CHARACTERS;
            ++end;
        }
        words.emplace_back(text.substr(i, end - i));
        i = end;
    }
    if (words.empty()) return mci_error::MISSING_COMMAND;
    MciCommand command;
    command.verb = lowerAscii(words[0]);
    if (words.size() < 2) return command;
    command.device = words[1];
    command.args.assign(words.begin() + 2, words.end());
    return command;
}

} // namespace mirevo
