#pragma once
// The desktop portal's Screenshot on a desktop whose portal asks a person first (GNOME): the permission store
// says whether the answer is yes already, so that a saver, started while nobody is there, never makes the
// desktop ask; and the file the portal made for us is removed once read, so that no photograph of the
// desktop stays behind at every start. Plain decisions, tested without a bus.
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

namespace mirevo {

inline constexpr const char* kPermissionStoreService = "org.freedesktop.impl.portal.PermissionStore";
inline constexpr const char* kPermissionStorePath = "/org/freedesktop/impl/portal/PermissionStore";
inline constexpr const char* kPermissionStoreInterface = "org.freedesktop.impl.portal.PermissionStore";
// Where the portal keeps a program's yes to screenshots, and the app id of a program outside a sandbox.
inline constexpr const char* kScreenshotTable = "screenshot";
inline constexpr const char* kScreenshotId = "screenshot";
inline constexpr const char* kUnsandboxedAppId = "";
inline constexpr const char* kPermissionYes = "yes";

// What the store's Lookup answered: each app id's permissions.
using AppPermissions = std::map<std::string, std::vector<std::string>>;

// Whether our app id's permissions hold yes.
bool screenshotAllowed(const AppPermissions& permissions);

// Whether the file the portal named may be removed once read: a plain file (not a link, not linked elsewhere)
// named Screenshot*.png, ours, the very file that was read (atPath from lstat of its path now, read from the
// open file), and written no earlier than the request (askedAt, with a second's slack for the clock's grain).
bool mayRemovePortalPicture(const std::string& fileName, const struct stat& atPath, const struct stat& read,
                            uid_t user, std::chrono::system_clock::time_point askedAt);

} // namespace mirevo
