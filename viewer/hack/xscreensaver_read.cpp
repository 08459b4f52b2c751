#include "viewer/hack/xscreensaver_read.h"

#include "common/log.h"
#include "common/user_folders.h"

namespace mirevo::viewer {

std::string userXscreensaverFile() {
    return userBaseFolder({}, environmentText("HOME"), ".xscreensaver");
}

Result<FileBytes, FileReadRefusal> readXscreensaverFile(const std::string& path, const char* consequence) {
    if (path.empty()) return Failure(FileReadRefusal::Missing);
    auto file = readBoundedFile(path, kMaxXscreensaverFileBytes);
    if (!file && file.reason() != FileReadRefusal::Missing)
        logWarning(path + " " + describe(file.reason()) + "; " + consequence);
    return file;
}

} // namespace mirevo::viewer
