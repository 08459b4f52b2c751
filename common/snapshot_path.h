#pragma once
// Where the saver leaves the desktop picture and the viewer finds it. Both programs include this header and
// nothing else of each other.
//
// A fixed world-visible path would let other users read a picture of the desktop, or plant a link that the
// saver then writes through. So the picture lives in a folder only this user can touch: $XDG_RUNTIME_DIR when
// it is an absolute folder owned by the user and closed to group and others, otherwise
// ${XDG_CACHE_HOME:-$HOME/.cache}/mirevo/, created with mode 0700.

#include <cerrno>
#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace mirevo {

inline constexpr const char* kSnapshotFileName = "Tovik.bmp";

namespace snapshot_detail {

// A folder we may keep the picture in: a real folder (not a link), ours, and closed to group and others.
inline bool isPrivateFolder(const std::string& path) {
    struct stat st {};
    if (path.empty() || path[0] != '/' || lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// mkdir -p for the parents; the last folder is made 0700.
inline bool makePrivateFolder(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string parent = path.substr(0, slash);
        if (mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return isPrivateFolder(path);
}

inline std::string envText(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace snapshot_detail

// The folder that holds the snapshot, or empty text when no private folder can be had.
// With create false nothing is made on disk (the viewer only reads).
inline std::string snapshotFolder(bool create) {
    using namespace snapshot_detail;
    std::string runtime = envText("XDG_RUNTIME_DIR");
    while (runtime.size() > 1 && runtime.back() == '/')
        runtime.pop_back();
    if (isPrivateFolder(runtime)) return runtime;

    std::string cache = envText("XDG_CACHE_HOME");
    if (cache.empty() || cache[0] != '/') {
        std::string home = envText("HOME");
        if (home.empty() || home[0] != '/') return {};
        cache = home + "/.cache";
    }
    while (cache.size() > 1 && cache.back() == '/')
        cache.pop_back();
    std::string folder = cache + "/mirevo";
    if (isPrivateFolder(folder)) return folder;
    if (create && makePrivateFolder(folder)) return folder;
    return {};
}

// Full path of the snapshot file, or empty text when there is no private folder for it.
inline std::string snapshotPath(bool create) {
    std::string folder = snapshotFolder(create);
    return folder.empty() ? std::string() : folder + "/" + kSnapshotFileName;
}

} // namespace mirevo
