#include "common/posix/file_lock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>

namespace mirevo {

FileLock FileLock::take(const std::string& folder, const char* fileName) {
    if (folder.empty()) return {FileLockState::Unavailable, UniqueFd()};
    const std::string path = folder + "/" + fileName;
    // O_CLOEXEC: a program started from here must not carry the lock on after its starter has gone.
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) return {FileLockState::Unavailable, UniqueFd()};
    int result;
    do
        result = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0) return {FileLockState::Taken, std::move(fd)};
    return {errno == EWOULDBLOCK ? FileLockState::HeldElsewhere : FileLockState::Unavailable, UniqueFd()};
}

} // namespace mirevo
