#pragma once
// Ini ("profile") files in the layout the Windows program used: [section] lines, then key=value lines.
// Section and key names match without regard to ASCII case; blanks around names and values are trimmed;
// ";" starts a comment line; the first matching section and key win.
//
// Each line is read as UTF-8 when it is valid UTF-8, else as Shift-JIS (CP932, as the Windows program wrote
// it). A line that is neither still counts as a section, key or comment line by its shape, but its names
// match no name, and an edit writes it back byte for byte.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/posix/atomic_file.h"

namespace mirevo {

struct ProfileValue {
    std::string key;
    std::string value;
};

// Larger files are left alone: far beyond any settings file, yet small enough to read whole.
inline constexpr std::size_t kMaxProfileFileBytes = 64 * 1024 * 1024;

// The value of key in section of an ini file's bytes; one pair of matching quotes around the value is
// removed. nullopt when the section or the key is missing.
std::optional<std::string> profileTextValue(const std::string& bytes, const std::string& section,
                                            const std::string& key);

// The ini file's bytes with key in section set to value: an existing key line is replaced, a missing key is
// added after the last key line of its section, a missing section is appended at the end. Every other line
// keeps its content (in UTF-8 when it decodes, so a Shift-JIS file becomes UTF-8; byte for byte when it does
// not) and the file's line ending (LF or CRLF) is kept. A value that reading would change (blanks at its
// ends, a pair of quotes around it) is written inside double quotes. nullopt for names or a value that a line
// cannot hold (line breaks, NUL, text that is not UTF-8, an empty name, "=" in a key, "]" in a section name,
// a key beginning with ";" or "["), and when the result would be larger than kMaxProfileFileBytes.
std::optional<std::string> profileTextWithValue(const std::string& bytes, const std::string& section,
                                                const std::string& key, const std::string& value);

// The same for several values of one section, applied in order; nullopt when any one of them is.
std::optional<std::string> profileTextWithValues(const std::string& bytes, const std::string& section,
                                                 const std::vector<ProfileValue>& values);

// Stand-ins for GetPrivateProfileString / WritePrivateProfileString. A missing or unreadable file reads as
// nullopt; so does one larger than kMaxProfileFileBytes, which is named once on standard error. Writing
// creates the file, section or key as needed and replaces the file atomically (a new file is made 0600);
// false when the file could not be written, is too large to edit or was made read-only (nothing is changed
// then).
std::optional<std::string> readProfileString(const std::string& path, const std::string& section,
                                             const std::string& key);
bool writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

// Why an edit of the file on disk cannot go ahead.
enum class ProfileEditRefusal {
    None,
    ValueUnfit, // a name or a value that a line cannot hold (a line break, for one)
    ReadOnly,   // the file is there and made read-only: its owner wants it left as it is
    TooLarge,   // larger than kMaxProfileFileBytes
    Unreadable, // not a regular file, not readable, or a link that leads nowhere
};

// An edit prepared but not yet written: the file a write must replace (a symbolic link's target, so the link
// stays) and its new bytes.
struct ProfileEdit {
    ProfileEditRefusal refusal = ProfileEditRefusal::None;
    std::string target;
    std::string bytes;
};

// Reads the file at path and sets the values in its section, writing nothing.
ProfileEdit editProfileFile(const std::string& path, const std::string& section,
                            const std::vector<ProfileValue>& values);

// Writes a prepared edit in one replacement: a new file is the user's alone (0600), a replaced one keeps its
// mode and owner, and both reach the disk before it returns.
WriteResult writeProfileEdit(const ProfileEdit& edit);

} // namespace mirevo
