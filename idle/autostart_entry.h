#pragma once
// The login entry that starts mirevo-idle with every desktop session:
// ${XDG_CONFIG_HOME:-$HOME/.config}/autostart/mirevo-idle.desktop.
#include <optional>
#include <string>
#include <vector>

namespace mirevo {

// From the values of XDG_CONFIG_HOME and HOME (empty when unset), by userBaseFolder. The user database is not
// asked: with neither set, the command says so rather than guess where the login session looks.
std::string autostartEntryPath(const std::string& xdgConfigHome, const std::string& home);

// One argument of an Exec line, quoted where it needs to be and escaped for a desktop-entry string.
std::string execArgument(const std::string& argument);

// The entry's text; nothing when a path holds a character no entry can carry (a line break, a control).
std::optional<std::string> autostartEntryText(const std::string& program,
                                              const std::vector<std::string>& arguments);

// Writes (on) or removes (off) the entry; the one line to print, and whether it went well.
struct AutostartResult {
    bool ok = false;
    std::string line;
};
AutostartResult setAutostart(bool on, const std::string& entryPath, const std::string& program,
                             const std::vector<std::string>& arguments);

} // namespace mirevo
