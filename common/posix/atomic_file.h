#pragma once
// Replacing a file so that a reader sees either the old one or the whole new one, never half of it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/posix/byte_sink.h"

namespace mirevo {

struct WriteResult {
    bool ok = false;
    std::string reason;      // why it failed, for one line of diagnostics
    bool outOfSpace = false; // it failed for lack of room on the disk (or of the user's quota)
};

// Writes the contents to a fresh file beside path (mode 0600, created exclusively, never through a link) and
// renames it over path. A link at path itself is replaced, not followed. On failure (contents returning
// false included) path is left as it was and the fresh file is removed.
WriteResult writeFileAtomically(const std::string& path, const FileContents& contents);
WriteResult writeFileAtomically(const std::string& path, const uint8_t* data, size_t size);

} // namespace mirevo
