#include "shared/music/music_source.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "common/posix/unique_fd.h"

namespace mirevo {
namespace {

FileKind kindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::Regular;
    if (S_ISBLK(mode)) return FileKind::BlockDevice;
    return FileKind::Other;
}

bool endsWith(const std::string& text, const char* end) {
    std::string e(end);
    return text.size() > e.size() && text.compare(text.size() - e.size(), e.size(), e) == 0;
}

} // namespace

FileKind fileKind(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return FileKind::Missing;
    return kindOfMode(info.st_mode);
}

FilePtr openRegularFile(const std::string& path) {
    if (fileKind(path) != FileKind::Regular) return nullptr;
    // The name may have been replaced since it was judged: O_NONBLOCK keeps a FIFO from holding the open,
    // and the open file itself is judged again.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || kindOfMode(info.st_mode) != FileKind::Regular)
        return nullptr;
    FilePtr file(::fdopen(fd.get(), "rb"));
    if (file) fd.release();
    return file;
}

std::optional<std::string> cueImageData(const std::string& cue) {
    if (endsWith(cue, ".cue")) return cue.substr(0, cue.size() - 3) + "bin";
    if (endsWith(cue, ".CUE")) return cue.substr(0, cue.size() - 3) + "BIN";
    return std::nullopt;
}

std::optional<CdSource> chooseCdSource(const std::string& device,
                                       const std::function<FileKind(const std::string&)>& kindOf) {
    std::string lower = device;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (endsWith(lower, ".cue")) {
        auto data = cueImageData(device);
        if (!data || kindOf(device) != FileKind::Regular || kindOf(*data) != FileKind::Regular)
            return std::nullopt;
        return CdSource{CdSource::Kind::CueImage, device};
    }
    if (kindOf(device) != FileKind::BlockDevice) return std::nullopt;
    return CdSource{CdSource::Kind::Drive, device};
}

} // namespace mirevo
