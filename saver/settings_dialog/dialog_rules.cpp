#include "saver/settings_dialog/dialog_rules.h"

#include <cctype>
#include <limits>
#include <optional>

#include "saver/startup/decimal_number.h"
#include "saver/startup/tovik_b.h"

namespace mirevo {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Past this an exponent moves every digit out of the 16-bit range or below one half, whatever its mantissa.
constexpr int kExponentLimit = 100000;

// "e" or "E", an optional sign and at least one digit, read from `at`; nothing when there is no exponent
// there. Huge exponents are held at kExponentLimit.
std::optional<int> readExponent(const std::string& text, std::size_t& at) {
    std::size_t i = at;
    if (i >= text.size() || (text[i] != 'e' && text[i] != 'E')) return std::nullopt;
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || !isDigit(text[i])) return std::nullopt;
    int value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        if (value < kExponentLimit) value = value * 10 + (text[i] - '0');
    at = i;
    return negative ? -value : value;
}

// Moves the decimal point by `exponent` places, keeping every digit.
DecimalNumber scaled(const DecimalNumber& number, int exponent) {
    std::string digits = number.wholeDigits + number.fractionDigits;
    long point = long(number.wholeDigits.size()) + exponent;
    if (point < 0) {
        digits.insert(0, std::size_t(-point), '0');
        point = 0;
    }
    if (point > long(digits.size())) digits.append(std::size_t(point) - digits.size(), '0');
    DecimalNumber result;
    result.negative = number.negative;
    result.wholeDigits = digits.substr(0, std::size_t(point));
    result.fractionDigits = digits.substr(std::size_t(point));
    const std::size_t firstNonZero = result.wholeDigits.find_first_not_of('0');
    result.wholeDigits.erase(0, firstNonZero == std::string::npos ? result.wholeDigits.size() : firstNonZero);
    return result;
}

std::optional<DecimalNumber> readNumberWithExponent(const std::string& text) {
    std::size_t end = 0;
    auto number = readDecimalPrefix(text, 0, end);
    if (!number) return std::nullopt;
    if (auto exponent = readExponent(text, end)) {
        // A mantissa of zeros stays zero however far the point moves.
        const bool zero =
            (number->wholeDigits + number->fractionDigits).find_first_not_of('0') == std::string::npos;
        if (zero) *exponent = 0;
        if (*exponent >= kExponentLimit) return std::nullopt; // beyond any whole number we store
        if (*exponent <= -kExponentLimit) *exponent = -kExponentLimit / 100; // far below one half
        number = scaled(*number, *exponent);
    }
    while (end < text.size() && isBlank(text[end]))
        ++end;
    if (end != text.size()) return std::nullopt;
    return number;
}

} // namespace

ScreenPoint dialogPosition(int outerWidth, int outerHeight, const ScreenRect& screen) {
    return {screen.x + (screen.width - outerWidth) / 2, screen.y + (screen.height - outerHeight) / 3};
}

KindControls kindControls(int16_t kind) {
    KindControls controls;
    if (kind >= 0 && kind < int16_t(controls.marked.size())) controls.marked[std::size_t(kind)] = true;
    controls.trackEnabled = kind == BGM_CD;
    controls.fileEnabled = kind == BGM_FILE;
    return controls;
}

std::string trackText(int16_t track) {
    return track == 0 ? std::string() : std::to_string(track);
}

std::vector<std::string> trackList() {
    std::vector<std::string> list;
    for (int16_t track = 0; track <= 30; ++track)
        list.push_back(trackText(track));
    return list;
}

int16_t trackFromText(const std::string& text) {
    const auto number = readNumberWithExponent(text);
    if (!number) return 0;
    const auto whole = roundHalfEven(*number);
    if (!whole || *whole < std::numeric_limits<int16_t>::min() ||
        *whole > std::numeric_limits<int16_t>::max())
        return 0;
    return int16_t(*whole);
}

std::array<IniEntry, 3> settingsEntries(const Settings& settings) {
    return {IniEntry{kIniKeyBgmKind, std::to_string(settings.BgmKind)},
            IniEntry{kIniKeyBgmRepeat, std::to_string(settings.BgmRepeat)},
            IniEntry{kIniKeyBgmFile, settings.BgmFile}};
}

FileRequest musicFileRequest(const std::string& bgmFolder) {
    return {"ﾌｧｲﾙを開く", "BGMﾌｧｲﾙ (MP3 WAV)", {anyCasePattern("*.MP3"), anyCasePattern("*.WAV")}, bgmFolder};
}

std::string anyCasePattern(const std::string& pattern) {
    std::string out;
    for (unsigned char c : pattern) {
        if (std::isalpha(c)) {
            out += '[';
            out += char(std::tolower(c));
            out += char(std::toupper(c));
            out += ']';
        } else {
            out += char(c);
        }
    }
    return out;
}

} // namespace mirevo
