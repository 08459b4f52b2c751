#pragma once
// xscreensaver's resource files as text: ~/.xscreensaver (the user's, "name: value" lines) and its system
// defaults (app-defaults, "*name: value" lines). Values run on over lines ending in a backslash; the
// programs list holds one hack per "\n"-terminated entry. Nothing here touches a file.
#include <optional>
#include <string>

namespace mirevo::viewer {

// The last value given for a resource in the file's text, with its continuations joined and the outer
// blanks dropped; nothing when the file does not set it.
std::optional<std::string> resourceValue(const std::string& text, const std::string& name);

// An X resource's truth value (True/False, yes/no, on/off, 1/0, any case); nothing for anything else.
std::optional<bool> resourceTruth(const std::string& value);

// Whether the hack may show what was left on the screen: the user's grabDesktopImages, else the system
// default's, else no (a locked screen must not show it unless the user allowed it).
bool desktopImagesAllowed(const std::optional<std::string>& userFile,
                          const std::optional<std::string>& systemFile);

enum class ProgramsEdit {
    Changed,
    AlreadyThere, // add: an entry already runs the hack (enabled or not)
    NotThere,     // remove: no entry runs it
    NoList,       // the file has no programs list to edit
};

struct ProgramsEditResult {
    ProgramsEdit outcome;
    std::string text; // the whole file; equal to the input unless Changed
};

// Adds 'GL: "Mirevo" <command> --root' as the first entry of the programs list, every other byte kept. The hack is
// known by the last path component of its command's first word (hackName).
ProgramsEditResult addHackToPrograms(const std::string& text, const std::string& command,
                                     const std::string& hackName);
// Takes out every entry whose command's first word ends in hackName, every other byte kept.
ProgramsEditResult removeHackFromPrograms(const std::string& text, const std::string& hackName);

} // namespace mirevo::viewer
