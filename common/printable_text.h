#pragma once
// A string from outside (a caller on the bus, the command line, the environment) made safe to print on a
// terminal or in a log: a control character is shown as '?', so that it can neither break the line, move the
// cursor, start an escape sequence nor turn the rest of the line around; every other UTF-8 character is kept
// as it is.
#include <cstddef>
#include <string>

namespace mirevo {

struct PrintableText {
    std::string text;
    bool cut = false; // more followed past the limit
};

// Shown as '?': C0 and DEL; C1 (U+0080..U+009F: some terminals obey U+009B as ESC [ and U+0085 as a line
// break); the line and paragraph separators (U+2028, U+2029: a line break to many log viewers and editors);
// the bidirectional controls (U+061C, U+200E, U+200F, U+202A..U+202E, U+2066..U+2069); and each byte of a
// malformed character. The text ends before the first character that would begin at or past
// maxBytes of output: one begun before the limit is kept whole.
PrintableText printableText(const std::string& text, size_t maxBytes);

} // namespace mirevo
