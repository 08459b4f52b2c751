#pragma once
// A small file the user keeps and the programs edit (a settings file, ~/.xscreensaver): read whole, safely,
// and left alone when its owner made it read-only. The open never blocks, only a regular file is read, and
// never more than a limit: a FIFO, a device or a link to /dev/zero in the file's place must not hang a
// program or fill its memory.
#include <cstddef>
#include <string>

#include <sys/stat.h>

#include "common/posix/unique_fd.h"
#include "common/result.h"

namespace mirevo {

enum class FileReadRefusal {
    Missing,    // nothing there
    NotAFile,   // a FIFO, a device, a folder, a socket
    TooLarge,   // larger than the limit, or grew past it while read
    Unreadable, // refused to us, or the read failed
};

struct FileBytes {
    std::string bytes;
    struct stat info {}; // as the file was when opened
};

// The whole file, or why not.
Result<FileBytes, FileReadRefusal> readBoundedFile(const std::string& path, std::size_t limit);

// The file opened for reading as readBoundedFile opens it (never blocking, a regular file of at most limit
// bytes), for a reader that streams it; info as it was when opened.
struct OpenedFile {
    UniqueFd fd;
    struct stat info {};
};
Result<OpenedFile, FileReadRefusal> openBoundedFile(const std::string& path, std::size_t limit);

// Whether an edit must leave the file as it is: read-only for its owner (root included, who may write
// anything), or not writable by us. info is the file's, as readBoundedFile found it.
bool madeReadOnly(const struct stat& info, const std::string& path);

// Why a file was not read, for one line of diagnostics: "is not a regular file" and the like.
const char* describe(FileReadRefusal refusal);

} // namespace mirevo
