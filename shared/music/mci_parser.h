#pragma once
// Splits an MCI command string into its words: blanks separate words, a name in quotation marks is one
// word and may hold blanks, and nothing may be glued to a quoted name.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mirevo {

struct MciCommand {
    std::string verb;              // lower case
    std::string device;            // as written (a file path keeps its case); empty when missing
    std::vector<std::string> args; // the words after the device, as written
};

// The parsed command, or the error code that refuses it.
std::variant<MciCommand, int32_t> parseMciCommand(std::string_view text);

std::string lowerAscii(std::string_view text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

} // namespace mirevo
