#include "shared/settings/decimal_number.h"

#include <algorithm>

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

bool onlyBlanksFrom(const std::string& text, std::size_t from) {
    while (from < text.size() && isBlank(text[from]))
        ++from;
    return from == text.size();
}

// From this far on an exponent puts any digit beyond every whole number our callers take, or far below one
// half; larger ones are held here rather than counted.
constexpr int kExponentLimit = 100000;

// "e" or "E", an optional sign and at least one digit, read from `at`; nothing when there is no exponent
// there.
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

// The point moved by `exponent` places, every digit kept.
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
    result.wholeDigits.erase(0, std::min(firstNonZero, result.wholeDigits.size()));
    return result;
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
    if (!number || !onlyBlanksFrom(text, end)) return std::nullopt;
    return number;
}

std::optional<DecimalNumber> readDecimalWithExponent(const std::string& text) {
    std::size_t end = 0;
    auto number = readDecimalPrefix(text, 0, end);
    if (!number) return std::nullopt;
    if (auto exponent = readExponent(text, end)) {
        // A mantissa of zeros stays zero however far the point moves.
        if (!anyNonZero(number->wholeDigits + number->fractionDigits, 0)) *exponent = 0;
        if (*exponent >= kExponentLimit) return std::nullopt;
        number = scaled(*number, std::max(*exponent, -kExponentLimit));
    }
    if (!onlyBlanksFrom(text, end)) return std::nullopt;
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
