#include "saver/startup/session_lock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>

namespace mirevo {

SessionLock SessionLock::take(const std::string& folder, const char* fileName) {
    if (folder.empty()) return {SessionLockState::Unavailable, UniqueFd()};
    const std::string path = folder + "/" + fileName;
    // O_CLOEXEC: the viewer must not carry the lock on after its saver has gone.
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) return {SessionLockState::Unavailable, UniqueFd()};
    int result;
    do
        result = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0) return {SessionLockState::Taken, std::move(fd)};
    return {errno == EWOULDBLOCK ? SessionLockState::HeldElsewhere : SessionLockState::Unavailable,
            UniqueFd()};
}

} // namespace mirevo
