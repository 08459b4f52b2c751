#pragma once
// Ini ("profile") files in the layout the Windows program used: [section] lines, then key=value lines.
// Section and key names match without regard to ASCII case; blanks around names and values are trimmed;
// ";" starts a comment line; the first matching section and key win.
#include <cstddef>
#include <optional>
#include <string>

namespace mirevo {

// Files larger than this are refused: a settings file is a few lines.
inline constexpr std::size_t kMaxProfileFileBytes = 1024 * 1024;

// The value of key in section of an ini text already decoded to UTF-8; one pair of matching quotes around
// the value is removed. nullopt when the section or the key is missing.
std::optional<std::string> profileTextValue(const std::string& text, const std::string& section,
                                            const std::string& key);

// The ini text with key in section set to value: an existing key line is replaced, a missing key is added
// after the last key line of its section, a missing section is appended at the end. Every other line and the
// text's line ending (LF or CRLF) are kept. A value that reading would change (blanks at its ends, a pair of
// quotes around it) is written inside double quotes. nullopt for names or a value that a line cannot hold
// (line breaks, NUL, an empty name, "=" in a key, "]" in a section name, a key beginning with ";" or "[").
std::optional<std::string> profileTextWithValue(const std::string& text, const std::string& section,
                                                const std::string& key, const std::string& value);

// Bytes of an ini file as UTF-8: kept as they are when already valid UTF-8, else decoded from Shift-JIS
// (CP932, as the Windows program wrote them). nullopt when they are neither.
std::optional<std::string> decodeProfileBytes(const std::string& bytes);

// Stand-ins for GetPrivateProfileString / WritePrivateProfileString. A missing or unreadable file reads as
// nullopt. Writing creates the file, section or key as needed, stores the whole file in UTF-8 and replaces
// it atomically; false when the file could not be written (nothing is changed then).
std::optional<std::string> readProfileString(const std::string& path, const std::string& section,
                                             const std::string& key);
bool writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

} // namespace mirevo
