#pragma once
// One saver at a time on a Wayland display: a session and the settings dialog hold a file lock named after
// the compositor's socket ("mirevo-wayland-1.lock") in the user's private runtime folder for as long as they
// live. The kernel drops it with the process, and of any number of starts at once exactly one gets it.
#include <string>

#include "common/posix/file_lock.h"

namespace mirevo {

// The lock file's name for a compositor socket's name.
std::string waylandLockFileName(const std::string& socketName);

// The lock for the compositor WAYLAND_DISPLAY names, taken without waiting: in XDG_RUNTIME_DIR when it is a
// private folder of ours, else in the snapshot's folder. Unavailable when there is neither.
FileLock takeWaylandInstanceLock();

} // namespace mirevo
