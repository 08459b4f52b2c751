#pragma once
// The user's own base folders as the XDG rules place them (${XDG_CONFIG_HOME:-$HOME/.config} and the like),
// shared by every program that keeps something for the user.
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirevo {

// The variable's text; empty when it is unset.
inline std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The user's home folder as the user database has it; empty when it has none.
inline std::string userDatabaseHome() {
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? size_t(suggested) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    while (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (size_t(1) << 20))
        buffer.resize(buffer.size() * 2);
    return found && found->pw_dir ? std::string(found->pw_dir) : std::string();
}

// "/" stays "/".
inline std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// mkdir -p, each folder made 0700 as the user's folders are nobody else's business; one already there is
// left as it is. False when one could not be made.
inline bool makeUserFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        if (mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

// name inside folder; the root folder gives "/name", not "//name".
inline std::string inFolder(const std::string& folder, const std::string& name) {
    return (folder == "/" ? "" : folder) + "/" + name;
}

// xdgHome, else home + "/" + sub, else (unless databaseHome is null; asked only then) the database's home +
// "/" + sub; each only when it is an absolute path, as a relative one is to be ignored. Without trailing
// slashes; empty when there is none.
inline std::string userBaseFolder(const std::string& xdgHome, const std::string& home, const std::string& sub,
                                  const std::function<std::string()>& databaseHome = userDatabaseHome) {
    const auto absolute = [](const std::string& path) { return !path.empty() && path[0] == '/'; };
    if (absolute(xdgHome)) return withoutTrailingSlashes(xdgHome);
    std::string base = home;
    if (!absolute(base) && databaseHome) base = databaseHome();
    if (!absolute(base)) return {};
    return inFolder(withoutTrailingSlashes(base), sub);
}

} // namespace mirevo
