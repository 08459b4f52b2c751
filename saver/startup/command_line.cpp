#include "saver/startup/command_line.h"

#include <limits>

#include "shared/settings/decimal_number.h"

namespace mirevo {

std::string argumentText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

char switchLetter(const std::string& argumentText) {
    if (argumentText.size() < 2) return '\0';
    const char c = argumentText[1];
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int32_t hostHandle(const std::string& argumentText) {
    std::size_t end = 0;
    const auto number = readDecimalPrefix(argumentText, 3, end);
    if (!number) return 0;
    const auto value = roundHalfEven(*number);
    // A number that no window handle can be (beyond 32 bits) reads as no number: handle 0, no host.
    if (!value || *value < std::numeric_limits<int32_t>::min() ||
        *value > std::numeric_limits<int32_t>::max())
        return 0;
    return static_cast<int32_t>(*value);
}

} // namespace mirevo
