#pragma once
// The login entry that starts mirevo-idle with every desktop session:
// ${XDG_CONFIG_HOME:-$HOME/.config}/autostart/mirevo-idle.desktop. The entry carries a marker key, and only
// an entry with it is replaced or removed: one of the same name that the user or another program wrote is
// theirs.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/user_folders.h"

namespace mirevo {

// From the values of XDG_CONFIG_HOME and HOME (empty when unset), else the user database's home, by
// userBaseFolder, as the saver finds its settings folder.
std::string autostartEntryPath(const std::string& xdgConfigHome, const std::string& home,
                               const std::function<std::string()>& databaseHome = userDatabaseHome);

// The line that marks an entry as mirevo-idle's own.
inline constexpr const char* kAutostartMarker = "X-Mirevo-Written-By=mirevo-idle";
// Whether an entry's text carries the marker.
bool isOwnAutostartEntry(const std::string& text);

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
