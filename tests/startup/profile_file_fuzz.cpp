// Arbitrary ini bytes and names through reading and editing: an edit reads back as written, leaves every
// other section's values alone and keeps every line that is neither UTF-8 nor Shift-JIS byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <vector>

#include "saver/startup/profile_encoding.h"
#include "saver/startup/profile_file.h"

namespace {

// Splits the input at the first three NUL bytes: text, section, key, value.
std::string nextPiece(std::string& rest) {
    const std::size_t nul = rest.find('\0');
    std::string piece = rest.substr(0, nul);
    rest = nul == std::string::npos ? std::string() : rest.substr(nul + 1);
    return piece;
}

// The lines that decode as nothing, without the CRs at their ends (an edit may give the last one its ending).
std::vector<std::string> unreadableLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!mirevo::decodeProfileLine(line)) lines.push_back(line);
        start = end + 1;
    }
    return lines;
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
    if (unreadableLines(*edited) != unreadableLines(bytes)) std::abort();
    return 0;
}
