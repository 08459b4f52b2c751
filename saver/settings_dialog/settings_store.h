#pragma once
// What OK does with the choice: the three keys go to the settings file together, in one replacement of the
// file, or not at all; when they cannot, the user is told why in the dialog's words.
#include <string>

#include "saver/settings/settings.h"

namespace mirevo {

enum class StoreFailure {
    None,
    ValueUnfit,  // a value the file cannot hold: a file name with a line break
    ReadOnly,    // the settings file was made read-only
    Unreadable,  // the file there is not one the program can read and edit (too large, not a file, refused)
    CannotWrite, // its folder could not be made or written, or the disk refused the file
};

struct StoreOutcome {
    StoreFailure failure = StoreFailure::None;
    std::string path;   // the file it was about
    std::string reason; // the system's words for a CannotWrite, for the message's last line
};

// Writes BgmKind, BgmRepeat and BgmFile to the settings file at path. A new file (and the user's settings
// folder, when missing) is the user's alone; a file replaced keeps its mode; a link keeps pointing at it.
StoreOutcome storeSettings(const std::string& path, const Settings& settings);

// The message box's text for a failed store; empty for none.
std::string storeFailureMessage(const StoreOutcome& outcome);

} // namespace mirevo
