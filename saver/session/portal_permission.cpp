#include "saver/session/portal_permission.h"

#include <algorithm>

namespace mirevo {

bool screenshotAllowed(const AppPermissions& permissions) {
    const auto ours = permissions.find(kUnsandboxedAppId);
    if (ours == permissions.end()) return false;
    return std::find(ours->second.begin(), ours->second.end(), kPermissionYes) != ours->second.end();
}

bool mayRemovePortalPicture(const std::string& fileName, const struct stat& atPath, const struct stat& read,
                            uid_t user, std::chrono::system_clock::time_point askedAt) {
    const std::string prefix = "Screenshot", suffix = ".png";
    if (fileName.size() < prefix.size() + suffix.size() || fileName.compare(0, prefix.size(), prefix) != 0 ||
        fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0 ||
        fileName.find('/') != std::string::npos)
        return false;
    if (!S_ISREG(atPath.st_mode) || atPath.st_nlink != 1 || atPath.st_uid != user) return false;
    if (atPath.st_dev != read.st_dev || atPath.st_ino != read.st_ino) return false;
    const auto written = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::seconds(atPath.st_mtim.tv_sec) +
                                                                        std::chrono::nanoseconds(atPath.st_mtim.tv_nsec)));
    return written >= askedAt - std::chrono::seconds(1);
}

} // namespace mirevo
