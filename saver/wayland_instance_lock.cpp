#include "saver/wayland_instance_lock.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

#include "common/printable_text.h"
#include "common/snapshot_path.h"
#include "common/wayland/wayland_connection.h"

namespace mirevo {

std::string waylandLockFileName(const std::string& socketName) {
    return "mirevo-" + socketName + ".lock";
}

std::string whatStandsAt(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::string("cannot be opened (") + std::strerror(errno) + ")";
    if (S_ISLNK(info.st_mode)) {
        struct stat target {};
        return ::stat(path.c_str(), &target) == 0 ? "is a symbolic link" : "is a symbolic link to nothing";
    }
    if (S_ISDIR(info.st_mode)) return "is a folder";
    if (!S_ISREG(info.st_mode)) return "is no regular file";
    return "cannot be locked";
}

FileLock takeWaylandInstanceLock(const std::function<void(const std::string&)>& say) {
    const std::string name = waylandLockFileName(waylandSocketName());
    const auto shown = [](const std::string& path) { return printableText(path, 300).text; };
    std::string passedOver;
    const std::string runtime = withoutTrailingSlashes(environmentText("XDG_RUNTIME_DIR"));
    if (snapshot_detail::isPrivateFolder(runtime)) {
        FileLock lock = FileLock::take(runtime, name.c_str());
        if (lock.state() != FileLockState::Unavailable) return lock;
        const std::string path = runtime + "/" + name;
        passedOver = shown(path) + " " + whatStandsAt(path);
    }
    const std::string cache = privateCacheFolder(true);
    if (!cache.empty()) {
        FileLock lock = FileLock::take(cache, name.c_str());
        if (lock.state() != FileLockState::Unavailable) {
            // Said by the start that runs; another that ends at once has nothing to add.
            if (lock.state() == FileLockState::Taken && !passedOver.empty())
                say("the lock " + passedOver + "; " + shown(cache + "/" + name) +
                    " keeps one screen saver at a time instead.");
            return lock;
        }
        if (passedOver.empty()) passedOver = shown(cache + "/" + name) + " " + whatStandsAt(cache + "/" + name);
    }
    say("no lock keeps one screen saver at a time on this display (" +
        (passedOver.empty() ? std::string("no private folder for it") : "the lock " + passedOver) +
        "), so none starts.");
    return FileLock::take("", name.c_str());
}

} // namespace mirevo
