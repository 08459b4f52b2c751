#include "saver/wayland_instance_lock.h"

#include "common/snapshot_path.h"
#include "common/wayland/wayland_connection.h"

namespace mirevo {

std::string waylandLockFileName(const std::string& socketName) {
    return "mirevo-" + socketName + ".lock";
}

FileLock takeWaylandInstanceLock() {
    const std::string runtime = withoutTrailingSlashes(environmentText("XDG_RUNTIME_DIR"));
    const std::string folder = snapshot_detail::isPrivateFolder(runtime) ? runtime : snapshotFolder(true);
    return FileLock::take(folder, waylandLockFileName(waylandSocketName()).c_str());
}

} // namespace mirevo
