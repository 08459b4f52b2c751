#pragma once
// The saver's command line: the switch letter and the preview host's window handle.
#include <cstdint>
#include <string>

namespace mirevo {

// The arguments after the program name, joined with single blanks, so "/p 1234" given as two arguments
// reads the same as one "/p:1234"-style argument would.
std::string argumentText(int argc, char** argv);

// The upper-cased character at position 2 (counting from 1); '\0' when the text is shorter. The character
// at position 1 ("/" or "-" usually) is never looked at.
char switchLetter(const std::string& argumentText);

// The preview host's window handle: the number the text begins with from position 4 on (position 3, a blank
// or a colon, is skipped whatever it is). 0 when there is no number or it does not fit in 32 bits.
int32_t hostHandle(const std::string& argumentText);

} // namespace mirevo
