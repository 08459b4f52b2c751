#include "common/posix/atomic_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/posix/unique_fd.h"

namespace mirevo {
namespace {

WriteResult failure(const std::string& what, int error) {
    return writeFailure(what + ": " + std::strerror(error), error == ENOSPC || error == EDQUOT);
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// A name nobody else is likely to pick; O_EXCL settles the rest.
std::string temporaryName(const std::string& path, unsigned attempt) {
    auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%d.%llx.%u", int(getpid()), (unsigned long long)ticks, attempt);
    return folder + "." + base + suffix;
}

} // namespace

WriteResult writeFileAtomically(const std::string& path, const FileContents& contents,
                                const ReplaceOptions& options) {
    if (path.empty()) return writeFailure("no file name");
    std::string temporary;
    int fd = -1;
    for (unsigned attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = temporaryName(path, attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, options.mode);
        if (fd < 0 && errno != EEXIST) return failure(temporary, errno);
    }
    if (fd < 0) return failure(temporary, EEXIST);

    UniqueFd file(fd);
    int error = 0;
    if (const struct stat* old = options.keepModeOf) {
        // Only root can hand the file back to its owner; anyone else already is the owner or can't.
        if (::fchmod(file.get(), old->st_mode & 07777) != 0 ||
            (::geteuid() == 0 && ::fchown(file.get(), old->st_uid, old->st_gid) != 0)) {
            error = errno;
            file.reset();
            ::unlink(temporary.c_str());
            return failure(temporary, error);
        }
    }
    bool written = contents([&](const uint8_t* data, size_t size) {
        if (writeAll(file.get(), data, size)) return true;
        error = errno;
        return false;
    });
    if (written && options.durable && ::fsync(file.get()) != 0) {
        written = false;
        error = errno;
    }
    if (!file.close() && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return error ? failure(temporary, error) : writeFailure("nothing to write");
    }
    // rename never follows a link at the destination: it replaces the link itself.
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
        ::unlink(temporary.c_str());
        return failure(path, error);
    }
    if (options.durable) {
        UniqueFd folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.valid()) ::fsync(folder.get());
    }
    return {};
}

WriteResult writeFileAtomically(const std::string& path, const uint8_t* data, size_t size,
                                const ReplaceOptions& options) {
    return writeFileAtomically(path, [&](const ByteSink& sink) { return sink(data, size); }, options);
}

} // namespace mirevo
