#pragma once
// What OK does with the choice: the three keys go to the settings file together, in one replacement of the
// file, or not at all; when they cannot, the user is told why in the dialog's words.
#include <array>
#include <string>

#include "common/result.h"
#include "shared/settings/settings.h"

namespace mirevo {

// The keys OK writes, in order, each time all three.
struct IniEntry {
    const char* key;
    std::string value;
};
std::array<IniEntry, 3> settingsEntries(const Settings& settings);

enum class StoreFailureKind {
    ValueUnfit,  // a value the file cannot hold: a file name with a line break
    ReadOnly,    // the settings file was made read-only
    Unreadable,  // the file there is not one the program can read and edit (too large, not a file, refused)
    CannotWrite, // its folder could not be made or written, or the disk refused the file
};

struct StoreFailure {
    StoreFailureKind kind;
    std::string path;   // the file it was about
    std::string reason; // the system's words for a CannotWrite, for the message's last line
};

// The file written (where a link pointed), or why the settings were not stored.
using StoreResult = Result<std::string, StoreFailure>;

// Writes BgmKind, BgmRepeat and BgmFile to the settings file at path. A new file (and the user's settings
// folder, when missing) is the user's alone; a file replaced keeps its mode; a link keeps pointing at it.
StoreResult storeSettings(const std::string& path, const Settings& settings);

// The message box's text for a failed store.
std::string storeFailureMessage(const StoreFailure& failure);

} // namespace mirevo
