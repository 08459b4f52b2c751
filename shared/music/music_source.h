#pragma once
// Where the music may come from. The players read only regular files, and a CD from a block device or a
// .cue image; a FIFO, a socket or a terminal named as a music file would block its opener or do worse, so
// such a name plays nothing. Nothing here waits: names are judged by stat, and a file is opened
// non-blocking and judged again by what was opened.
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace mirevo {

enum class FileKind { Missing, Regular, BlockDevice, Other };

FileKind fileKind(const std::string& path);

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

// The file opened for reading, or nothing when the name is not a regular file.
FilePtr openRegularFile(const std::string& path);

struct CdSource {
    enum class Kind { Drive, CueImage };
    Kind kind;
    std::string path;
};

// The data file a .cue image is read from: its own name ending in "bin" (or "BIN" for ".CUE"), as libcdio
// reads it. Nothing for a name without one of those two endings.
std::optional<std::string> cueImageData(const std::string& cue);

// The CD a device name stands for: a .cue image whose cue sheet and data file are regular files, or a
// block device. Nothing for anything else.
std::optional<CdSource> chooseCdSource(const std::string& device,
                                       const std::function<FileKind(const std::string&)>& kindOf);

} // namespace mirevo
