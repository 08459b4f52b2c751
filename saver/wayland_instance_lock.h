#pragma once
// One saver at a time on a Wayland display: a session and the settings dialog hold a file lock named after
// the compositor's socket ("mirevo-wayland-1.lock") in the user's private runtime folder for as long as they
// live. The kernel drops it with the process, and of any number of starts at once exactly one gets it.
#include <functional>
#include <string>

#include "common/posix/file_lock.h"

namespace mirevo {

// The lock file's name for a compositor socket's name.
std::string waylandLockFileName(const std::string& socketName);

// The lock for the compositor WAYLAND_DISPLAY names, taken without waiting: in XDG_RUNTIME_DIR when it is a
// private folder of ours, else in the private cache folder (${XDG_CACHE_HOME:-~/.cache}/mirevo). Where the
// runtime folder's lock cannot be had (a link, a folder or a dangling link in its place: the user's own), the
// cache folder's is taken instead, which every start then takes alike, and say() is told so; unavailable,
// with say() told why, when neither can be had.
FileLock takeWaylandInstanceLock(const std::function<void(const std::string&)>& say);

// What stands at path, for a line: "is a symbolic link to nothing", "is a folder", ...
std::string whatStandsAt(const std::string& path);

} // namespace mirevo
