// The ini file on disk: bounded reads, and writes that replace the whole file at once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>

#include "saver/startup/profile_file.h"
#include "common/posix/unique_fd.h"

namespace mirevo {
namespace {

enum class ReadStatus { Ok, Missing, TooLarge, Refused };

struct FileBytes {
    ReadStatus status = ReadStatus::Refused;
    std::string bytes;
    struct stat info {};
};

FileBytes readBounded(const std::string& path) {
    FileBytes result;
    // O_NONBLOCK: a FIFO put in the ini's place must not hang the saver.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        result.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::Refused;
        return result;
    }
    if (::fstat(fd.get(), &result.info) != 0 || !S_ISREG(result.info.st_mode)) return result;
    if (static_cast<std::size_t>(result.info.st_size) > kMaxProfileFileBytes) {
        result.status = ReadStatus::TooLarge;
        return result;
    }
    // One byte more than the file holds, so a file that grows meanwhile is noticed and read on, up to the
    // limit.
    result.bytes.resize(static_cast<std::size_t>(result.info.st_size) + 1);
    std::size_t total = 0;
    for (;;) {
        if (total == result.bytes.size()) {
            if (total > kMaxProfileFileBytes) {
                result.bytes.clear();
                result.status = ReadStatus::TooLarge;
                return result;
            }
            result.bytes.resize(std::min(total * 2, kMaxProfileFileBytes + 1));
        }
        const ssize_t got = ::read(fd.get(), result.bytes.data() + total, result.bytes.size() - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return result;
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    result.bytes.resize(total);
    result.status = ReadStatus::Ok;
    return result;
}

// A file too large to be a settings file is named once per run, however often it is asked for.
void reportTooLarge(const std::string& path) {
    static std::mutex guard;
    static std::set<std::string> named;
    const std::lock_guard<std::mutex> lock(guard);
    if (!named.insert(path).second) return;
    std::fprintf(stderr, "Mirevo.scr: %s is larger than %zu MiB; its settings are not read or changed.\n",
                 path.c_str(), kMaxProfileFileBytes >> 20);
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// The file a write must replace: a symbolic link's target, so the link itself stays.
std::optional<std::string> writeTarget(const std::string& path) {
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) != 0)
        return errno == ENOENT ? std::optional<std::string>(path) : std::nullopt;
    if (!S_ISLNK(linkInfo.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) return std::nullopt; // a dangling link: don't guess where it meant to point
    return std::string(resolved.get());
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string tempPathFor(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
}

// Writes the bytes beside the target and renames them over it, so a reader sees the old file or the new
// one, never half of either.
bool replaceFile(const std::string& target, const std::string& bytes, const struct stat* existing) {
    std::string temp;
    UniqueFd fd;
    for (int attempt = 0; attempt < 16 && !fd.valid(); ++attempt) {
        temp = tempPathFor(target);
        // 0666 lets the umask decide a new file's mode, as for any file the program creates.
        fd = UniqueFd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST) return false;
    }
    if (!fd.valid()) return false;
    bool ok = true;
    if (existing) {
        ok = ::fchmod(fd.get(), existing->st_mode & 07777) == 0;
        // Only root can hand the file back to its owner; anyone else already is the owner or can't.
        if (ok && ::geteuid() == 0) ok = ::fchown(fd.get(), existing->st_uid, existing->st_gid) == 0;
    }
    ok = ok && writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    fd.reset();
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    UniqueFd folder(::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
    return true;
}

} // namespace

std::optional<std::string> readProfileString(const std::string& path, const std::string& section,
                                             const std::string& key) {
    const FileBytes file = readBounded(path);
    if (file.status == ReadStatus::TooLarge) reportTooLarge(path);
    if (file.status != ReadStatus::Ok) return std::nullopt;
    return profileTextValue(file.bytes, section, key);
}

bool writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
    if (path.empty()) return false;
    const auto target = writeTarget(path);
    if (!target) return false;
    const FileBytes file = readBounded(*target);
    if (file.status == ReadStatus::TooLarge) reportTooLarge(*target);
    if (file.status != ReadStatus::Ok && file.status != ReadStatus::Missing) return false;
    const auto edited = profileTextWithValue(file.bytes, section, key, value);
    if (!edited) return false;
    return replaceFile(*target, *edited, file.status == ReadStatus::Ok ? &file.info : nullptr);
}

} // namespace mirevo
