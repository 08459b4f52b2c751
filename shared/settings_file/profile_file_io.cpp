// The ini file on disk: bounded reads, and writes that replace the whole file at once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>

#include "common/log.h"
#include "common/posix/atomic_file.h"
#include "common/posix/user_file.h"
#include "shared/settings_file/profile_file.h"

namespace mirevo {
namespace {

// A file too large to be a settings file is named once per run, however often it is asked for.
void reportTooLarge(const std::string& path) {
    static std::mutex guard;
    static std::set<std::string> named;
    const std::lock_guard<std::mutex> lock(guard);
    if (!named.insert(path).second) return;
    logWarning(path + " is larger than " + std::to_string(kMaxProfileFileBytes >> 20) +
               " MiB; its settings are not read or changed.");
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

} // namespace

std::optional<std::string> readProfileString(const std::string& path, const std::string& section,
                                             const std::string& key) {
    const auto file = readBoundedFile(path, kMaxProfileFileBytes);
    if (!file && file.reason() == FileReadRefusal::TooLarge) reportTooLarge(path);
    if (!file) return std::nullopt;
    return profileTextValue(file->bytes, section, key);
}

ProfileEdit editProfileFile(const std::string& path, const std::string& section,
                            const std::vector<ProfileValue>& values) {
    ProfileEdit edit;
    const auto target = path.empty() ? std::nullopt : writeTarget(path);
    if (!target) {
        edit.refusal = ProfileEditRefusal::Unreadable;
        return edit;
    }
    edit.target = *target;
    const auto file = readBoundedFile(edit.target, kMaxProfileFileBytes);
    if (!file && file.reason() == FileReadRefusal::TooLarge) {
        reportTooLarge(edit.target);
        edit.refusal = ProfileEditRefusal::TooLarge;
        return edit;
    }
    if (!file && file.reason() != FileReadRefusal::Missing) {
        edit.refusal = ProfileEditRefusal::Unreadable;
        return edit;
    }
    if (file && madeReadOnly(file->info, edit.target)) {
        edit.refusal = ProfileEditRefusal::ReadOnly;
        return edit;
    }
    auto edited = profileTextWithValues(file ? file->bytes : std::string(), section, values);
    if (!edited) {
        edit.refusal = ProfileEditRefusal::ValueUnfit;
        return edit;
    }
    edit.bytes = std::move(*edited);
    return edit;
}

bool writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
    const ProfileEdit edit = editProfileFile(path, section, {{key, value}});
    return edit.refusal == ProfileEditRefusal::None && writeProfileEdit(edit).ok();
}

WriteResult writeProfileEdit(const ProfileEdit& edit) {
    struct stat existing {};
    const bool replacing = ::stat(edit.target.c_str(), &existing) == 0;
    ReplaceOptions options;
    options.mode = 0600;
    options.keepModeOf = replacing ? &existing : nullptr;
    options.durable = true;
    const auto* bytes = reinterpret_cast<const uint8_t*>(edit.bytes.data());
    return writeFileAtomically(edit.target, bytes, edit.bytes.size(), options);
}

} // namespace mirevo
