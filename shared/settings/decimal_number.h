#pragma once
// Decimal numbers as the settings file and the command line write them: optional sign, digits, optional
// fraction ("12", "-0.5", "2.9", ".5"); an exponent only where asked for. No hexadecimal forms.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace mirevo {

struct DecimalNumber {
    bool negative = false;
    std::string wholeDigits;    // without leading zeros; empty for zero
    std::string fractionDigits; // as written
};

// The number that text begins at `from`, after leading blanks; `end` receives the index just past it.
std::optional<DecimalNumber> readDecimalPrefix(const std::string& text, std::size_t from, std::size_t& end);

// The whole text as a number, blanks allowed around it; nullopt for anything else.
std::optional<DecimalNumber> readDecimal(const std::string& text);

// The same with an optional exponent ("1e1", "-2.5E-3", ".5e+1"): the point moved by it, every digit kept.
// nullopt also for exponents of 100000 and more, beyond every whole number.
std::optional<DecimalNumber> readDecimalWithExponent(const std::string& text);

// Rounded to the nearest integer, an exact half to the even neighbour; nullopt outside the int64 range.
std::optional<int64_t> roundHalfEven(const DecimalNumber& number);

// Rounded down (-0.5 gives -1); nullopt outside the int64 range.
std::optional<int64_t> roundDown(const DecimalNumber& number);

} // namespace mirevo
