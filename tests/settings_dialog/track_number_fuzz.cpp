// Arbitrary combo texts through the rule OK reads the CD track by.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "saver/settings_dialog/dialog_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mirevo;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int16_t track = trackFromText(text);
    // What the combo shows for a stored track reads back as that track.
    if (trackFromText(trackText(track)) != track) std::abort();
    // Blanks around a number change nothing.
    if (trackFromText(" " + text + "\t") != track) std::abort();
    return 0;
}
