#include "saver/startup/settings_location.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "saver/startup/tovik_b.h"

namespace mirevo {
namespace {

constexpr const char* kUserSettingsTail = "/mirevo/Mirevo.ini";

// An absolute folder without trailing "/", or empty when the text is no absolute folder.
std::string absoluteFolder(std::string folder) {
    if (folder.empty() || folder.front() != '/') return std::string();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder == "/" ? std::string() : folder;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string homeFromPasswordDatabase() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return std::string();
    return found->pw_dir;
}

// The access test with the effective ids, which are the ones the write will run with. Unlike a test of
// the mode bits this also says no on a read-only file system, for root too.
bool accessible(const std::string& path, int mode) {
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

} // namespace

std::string userSettingsFile(const std::string& xdgConfigHome, const std::string& home) {
    const std::string config = absoluteFolder(xdgConfigHome);
    if (!config.empty()) return config + kUserSettingsTail;
    const std::string homeFolder = absoluteFolder(home);
    if (!homeFolder.empty()) return homeFolder + "/.config" + kUserSettingsTail;
    return std::string();
}

SettingsPaths chooseSettingsPaths(const std::string& programFile, const std::string& userFile,
                                  const SettingsFacts& facts) {
    if (facts.programFileWritable || userFile.empty()) return {programFile, programFile};
    return {facts.userFileExists ? userFile : programFile, userFile};
}

std::string userSettingsFileOfThisUser() {
    std::string home = environment("HOME");
    if (absoluteFolder(home).empty()) home = homeFromPasswordDatabase();
    return userSettingsFile(environment("XDG_CONFIG_HOME"), home);
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
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string step = folder.substr(0, slash);
        if (::mkdir(step.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace mirevo
