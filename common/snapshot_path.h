#pragma once
// Where the saver leaves the desktop picture and the viewer finds it. Both programs include this header and
// nothing else of each other.
//
// A fixed world-visible path would let other users read a picture of the desktop, or plant a link that the
// saver then writes through. So the picture lives in a folder only this user can touch: $XDG_RUNTIME_DIR when
// it is an absolute folder owned by the user, closed to group and others and open to the user's writes,
// otherwise ${XDG_CACHE_HOME:-$HOME/.cache}/mirevo/, created with mode 0700; a session started without HOME
// takes the home folder from the user database. Both programs decide alike, from the same facts, and the
// viewer never creates anything.

#include <string>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "common/user_folders.h"

namespace mirevo {

inline constexpr const char* kSnapshotFileName = "Tovik.bmp";

namespace snapshot_detail {

// A folder we may keep the picture in: a real folder (not a link), ours, closed to group and others, and one
// we may write in. The mode bits and the mount say so, not access(): root may write in a 0500 folder, yet the
// same folder must be passed over alike whoever runs the programs.
inline bool isPrivateFolder(const std::string& path) {
    struct stat st {};
    if (path.empty() || path[0] != '/' || lstat(path.c_str(), &st) != 0) return false;
    constexpr mode_t kOwnerWrites = S_IWUSR | S_IXUSR;
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
        (st.st_mode & kOwnerWrites) != kOwnerWrites)
        return false;
    struct statvfs mount {};
    return statvfs(path.c_str(), &mount) == 0 && (mount.f_flag & ST_RDONLY) == 0;
}

} // namespace snapshot_detail

// ${XDG_CACHE_HOME:-$HOME/.cache}/mirevo when it is (or, with create, can be made) a private folder; empty
// text otherwise.
inline std::string privateCacheFolder(bool create) {
    using namespace snapshot_detail;
    const std::string cache =
        userBaseFolder(environmentText("XDG_CACHE_HOME"), environmentText("HOME"), ".cache");
    if (cache.empty()) return {};
    const std::string folder = inFolder(cache, "mirevo");
    if (isPrivateFolder(folder)) return folder;
    if (create && makeUserFolders(folder) && isPrivateFolder(folder)) return folder;
    return {};
}

// The folder that holds the snapshot, or empty text when no private folder can be had.
// With create false nothing is made on disk (the viewer only reads).
inline std::string snapshotFolder(bool create) {
    using namespace snapshot_detail;
    const std::string runtime = withoutTrailingSlashes(environmentText("XDG_RUNTIME_DIR"));
    if (isPrivateFolder(runtime)) return runtime;
    return privateCacheFolder(create);
}

// Full path of the snapshot file, or empty text when there is no private folder for it.
inline std::string snapshotPath(bool create) {
    std::string folder = snapshotFolder(create);
    return folder.empty() ? std::string() : folder + "/" + kSnapshotFileName;
}

} // namespace mirevo
