#pragma once
// Replacing a file so that a reader sees either the old one or the whole new one, never half of it.
#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/stat.h>

#include "common/posix/byte_sink.h"
#include "common/result.h"

namespace mirevo {

struct WriteFailure {
    std::string why;         // for one line of diagnostics
    bool outOfSpace = false; // for lack of room on the disk (or of the user's quota)
};
using WriteResult = Result<void, WriteFailure>;

inline Failure<WriteFailure> writeFailure(std::string why, bool outOfSpace = false) {
    return Failure(WriteFailure{std::move(why), outOfSpace});
}

// How the fresh file is made. The defaults suit a private file that is made again at every run (the
// snapshot).
struct ReplaceOptions {
    mode_t mode = 0600; // a new file's mode, before the umask
    // The file being replaced, whose mode (and owner, where we are root) the new one takes over.
    const struct stat* keepModeOf = nullptr;
    // The file and its folder reach the disk before the call returns: what the user chose must survive a
    // power cut.
    bool durable = false;
};

// Writes the contents to a fresh file beside path (created exclusively, never through a link) and renames it
// over path. A link at path itself is replaced, not followed. On failure (contents returning false included)
// path is left as it was and the fresh file is removed.
WriteResult writeFileAtomically(const std::string& path, const FileContents& contents,
                                const ReplaceOptions& options = {});
WriteResult writeFileAtomically(const std::string& path, const uint8_t* data, size_t size,
                                const ReplaceOptions& options = {});

} // namespace mirevo
