#include "common/posix/user_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/posix/unique_fd.h"

namespace mirevo {

Result<OpenedFile, FileReadRefusal> openBoundedFile(const std::string& path, std::size_t limit) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    OpenedFile file;
    file.fd = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file.fd.valid()) return Failure(errno == ENOENT ? FileReadRefusal::Missing : FileReadRefusal::Unreadable);
    if (::fstat(file.fd.get(), &file.info) != 0) return Failure(FileReadRefusal::Unreadable);
    if (!S_ISREG(file.info.st_mode)) return Failure(FileReadRefusal::NotAFile);
    if (static_cast<std::size_t>(file.info.st_size) > limit) return Failure(FileReadRefusal::TooLarge);
    return file;
}

Result<FileBytes, FileReadRefusal> readBoundedFile(const std::string& path, std::size_t limit) {
    auto opened = openBoundedFile(path, limit);
    if (!opened) return Failure(opened.reason());
    const UniqueFd fd = std::move(opened->fd);
    FileBytes file;
    file.info = opened->info;
    // One byte more than the file holds, so a file that grows meanwhile is noticed and read on, up to the
    // limit.
    file.bytes.resize(static_cast<std::size_t>(file.info.st_size) + 1);
    std::size_t total = 0;
    for (;;) {
        if (total == file.bytes.size()) {
            if (total > limit) return Failure(FileReadRefusal::TooLarge);
            file.bytes.resize(std::min(std::max<std::size_t>(total * 2, 64), limit + 1));
        }
        const ssize_t got = ::read(fd.get(), file.bytes.data() + total, file.bytes.size() - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Failure(FileReadRefusal::Unreadable);
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    file.bytes.resize(total);
    return file;
}

bool madeReadOnly(const struct stat& info, const std::string& path) {
    return (info.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

const char* describe(FileReadRefusal refusal) {
    switch (refusal) {
    case FileReadRefusal::Missing:
        return "is not there";
    case FileReadRefusal::NotAFile:
        return "is not a regular file";
    case FileReadRefusal::TooLarge:
        return "is too large";
    case FileReadRefusal::Unreadable:
        return "cannot be read";
    }
    return "cannot be read";
}

} // namespace mirevo
