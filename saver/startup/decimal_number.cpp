#include "saver/startup/decimal_number.h"

namespace mirevo {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool anyNonZero(const std::string& digits, std::size_t from) {
    return digits.find_first_not_of('0', from) != std::string::npos;
}

// Magnitude of the whole part; 18 digits always fit, longer ones are out of range for our callers anyway.
std::optional<int64_t> wholePart(const DecimalNumber& number) {
    if (number.wholeDigits.size() > 18) return std::nullopt;
    int64_t value = 0;
    for (char c : number.wholeDigits)
        value = value * 10 + (c - '0');
    return value;
}

} // namespace

std::optional<DecimalNumber> readDecimalPrefix(const std::string& text, std::size_t from, std::size_t& end) {
    std::size_t i = from;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    DecimalNumber number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        number.negative = text[i] == '-';
        ++i;
    }
    std::size_t digitCount = 0;
    while (i < text.size() && isDigit(text[i])) {
        if (!(number.wholeDigits.empty() && text[i] == '0')) number.wholeDigits += text[i];
        ++i;
        ++digitCount;
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < text.size() && isDigit(text[j]))
            number.fractionDigits += text[j++];
        digitCount += number.fractionDigits.size();
        // A lone "." after digits ends the number there ("12." is 12).
        if (digitCount > 0) i = j;
    }
    if (digitCount == 0) return std::nullopt;
    end = i;
    return number;
}

std::optional<DecimalNumber> readDecimal(const std::string& text) {
    std::size_t end = 0;
    auto number = readDecimalPrefix(text, 0, end);
    if (!number) return std::nullopt;
    while (end < text.size() && isBlank(text[end]))
        ++end;
    if (end != text.size()) return std::nullopt;
    return number;
}

std::optional<int64_t> roundHalfEven(const DecimalNumber& number) {
    auto magnitude = wholePart(number);
    if (!magnitude) return std::nullopt;
    const std::string& fraction = number.fractionDigits;
    if (!fraction.empty()) {
        const char first = fraction[0];
        const bool up = first > '5' || (first == '5' && (anyNonZero(fraction, 1) || (*magnitude % 2) == 1));
        if (up) ++*magnitude;
    }
    return number.negative ? -*magnitude : *magnitude;
}

std::optional<int64_t> roundDown(const DecimalNumber& number) {
    auto magnitude = wholePart(number);
    if (!magnitude) return std::nullopt;
    if (!number.negative) return *magnitude;
    const bool hasFraction = anyNonZero(number.fractionDigits, 0);
    return -*magnitude - (hasFraction ? 1 : 0);
}

} // namespace mirevo
