#pragma once
// Where the settings file is read and where it is written. A program folder the user can write (a build
// folder, a portable copy) keeps Mirevo.ini beside the programs. An installed program folder belongs to
// root, so the user's choices go to ${XDG_CONFIG_HOME:-$HOME/.config}/mirevo/Mirevo.ini; until that file
// exists the program folder's Mirevo.ini, if an administrator put one there, is read as the default.
#include <functional>
#include <string>

namespace mirevo {

struct SettingsPaths {
    std::string read;
    std::string write;
};

// What the choice depends on, as found on the machine.
struct SettingsFacts {
    bool programFileWritable = false; // this user can write, or create, Mirevo.ini in the program folder
    bool userFileExists = false;      // the user's own Mirevo.ini is there to read
};

// The user's own settings file: mirevo/Mirevo.ini in the user's configuration folder (userBaseFolder), where
// "/" counts as no folder; empty when there is none.
std::string userSettingsFile(const std::string& xdgConfigHome, const std::string& home,
                             const std::function<std::string()>& databaseHome);

// The decision itself. An empty userFile leaves everything in the program folder, as there is nowhere else.
SettingsPaths chooseSettingsPaths(const std::string& programFile, const std::string& userFile,
                                  const SettingsFacts& facts);

// The paths for this user and this program folder, from the environment and the file system now.
SettingsPaths settingsPaths(const std::string& programFolder);

// userSettingsFile for this process: XDG_CONFIG_HOME, then HOME, then the user database's home folder.
std::string userSettingsFileOfThisUser();

// Can this user replace the file at path (its folder takes a new file; the file, when there, is writable)?
// A symbolic link counts for the file it points to, as a write replaces that file.
bool canWriteSettingsFile(const std::string& path);

// Creates the missing folders above the user's settings file, each 0700 as the user's configuration is
// nobody else's business; does nothing for any other path. False when a folder could not be made.
bool makeUserSettingsFolder(const std::string& path);

} // namespace mirevo
