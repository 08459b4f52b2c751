// Arbitrary ini bytes and names through reading and editing: an edit reads back as written and leaves every
// other section's values alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "shared/settings_file/profile_file.h"

namespace {

// Splits the input at the first three NUL bytes: text, section, key, value.
std::string nextPiece(std::string& rest) {
    const std::size_t nul = rest.find('\0');
    std::string piece = rest.substr(0, nul);
    rest = nul == std::string::npos ? std::string() : rest.substr(nul + 1);
    return piece;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mirevo;
    std::string rest(reinterpret_cast<const char*>(data), size);
    const std::string bytes = nextPiece(rest);
    const std::string section = nextPiece(rest);
    const std::string key = nextPiece(rest);
    const std::string value = rest;

    const auto probe = profileTextValue(bytes, "Probe", "k");
    const auto edited = profileTextWithValue(bytes, section, key, value);
    if (!edited) return 0;
    if (profileTextValue(*edited, section, key) != value) std::abort();
    const bool namesProbe = profileTextValue("[Probe]\nx=1\n", section, "x").has_value();
    if (!namesProbe && profileTextValue(*edited, "Probe", "k") != probe) std::abort();
    return 0;
}
