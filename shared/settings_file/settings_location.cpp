#include "shared/settings_file/settings_location.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "common/program_names.h"
#include "common/user_folders.h"
#include "shared/settings_file/tovik_b.h"

namespace mirevo {
namespace {

// The root folder is no folder of one's own: a home or XDG_CONFIG_HOME of "/" counts as none.
std::string ownFolder(const std::string& folder) {
    return withoutTrailingSlashes(folder) == "/" ? std::string() : folder;
}

// The access test with the effective ids, which are the ones the write will run with. Unlike a test of
// the mode bits this also says no on a read-only file system, for root too.
bool accessible(const std::string& path, int mode) {
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

} // namespace

std::string userSettingsFile(const std::string& xdgConfigHome, const std::string& home,
                             const std::function<std::string()>& databaseHome) {
    const std::string config = userBaseFolder(ownFolder(xdgConfigHome), ownFolder(home), ".config",
                                              [&] { return ownFolder(databaseHome()); });
    return config.empty() ? config : config + "/mirevo/" + kSettingsFileName;
}

SettingsPaths chooseSettingsPaths(const std::string& programFile, const std::string& userFile,
                                  const SettingsFacts& facts) {
    if (facts.programFileWritable || userFile.empty()) return {programFile, programFile};
    return {facts.userFileExists ? userFile : programFile, userFile};
}

std::string userSettingsFileOfThisUser() {
    return userSettingsFile(environmentText("XDG_CONFIG_HOME"), environmentText("HOME"), userDatabaseHome);
}

SettingsPaths settingsPaths(const std::string& programFolder) {
    const std::string programFile = settingsFilePath(programFolder);
    const std::string userFile = userSettingsFileOfThisUser();
    SettingsFacts facts;
    facts.programFileWritable = canWriteSettingsFile(programFile);
    facts.userFileExists = !userFile.empty() && File_Exists(userFile);
    return chooseSettingsPaths(programFile, userFile, facts);
}

bool canWriteSettingsFile(const std::string& path) {
    std::string file = path;
    struct stat info {};
    if (::lstat(file.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> target(::realpath(file.c_str(), nullptr), &std::free);
        if (!target) return false; // a dangling link: a write would not know where to go either
        file = target.get();
    }
    const std::string folder = Path_Folder(file);
    if (folder.empty() || !accessible(folder, W_OK | X_OK)) return false;
    if (::stat(file.c_str(), &info) != 0) return errno == ENOENT;
    return S_ISREG(info.st_mode) && accessible(file, W_OK);
}

bool makeUserSettingsFolder(const std::string& path) {
    if (path.empty() || path != userSettingsFileOfThisUser()) return true;
    const std::string folder = Path_Folder(path);
    if (!makeUserFolders(folder)) return false;
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace mirevo
