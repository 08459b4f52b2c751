#include "common/posix/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "common/posix/unique_fd.h"

namespace mirevo {

bool File_Exists(const std::string& path) {
    std::string name = path;
    if (!name.empty() && name.back() == '/') name.pop_back();
    if (name.empty()) return false;
    // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
    UniqueFd fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) return false;
    struct stat info {};
    return ::fstat(fd.get(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string Path_Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    std::string folder = path.substr(0, slash + 1);
    // The root folder keeps its "/": it is the only name it has.
    if (folder.size() > 1) folder.pop_back();
    return folder;
}

std::string programFilePath(const std::string& programFolder, const std::string& name) {
    if (!programFolder.empty() && programFolder.back() == '/') return programFolder + name;
    return programFolder + "/" + name;
}

std::string thisProgramPath() {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string thisProgramFolder() {
    const std::string folder = Path_Folder(thisProgramPath());
    return folder.empty() ? std::string(".") : folder;
}

} // namespace mirevo
