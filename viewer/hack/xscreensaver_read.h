#pragma once
// ~/.xscreensaver and xscreensaver's system defaults, read as the settings file is: only a regular file, never
// waiting on a FIFO, never more than a limit. Anything else counts as absent, and one line says so.
#include <cstddef>
#include <string>

#include "common/posix/user_file.h"
#include "common/result.h"

namespace mirevo::viewer {

// Far beyond any file xscreensaver writes (a few dozen KiB), yet small enough to read whole at once.
inline constexpr std::size_t kMaxXscreensaverFileBytes = 4 * 1024 * 1024;

// Debian's xscreensaver keeps its defaults here; a user's ~/.xscreensaver overrides them.
inline constexpr const char* kXscreensaverDefaults = "/etc/X11/app-defaults/XScreenSaver";

// The user's ~/.xscreensaver; empty when there is no home folder.
std::string userXscreensaverFile();

// The file's bytes, or why not. For any reason but a missing file one line on standard error names the file,
// the reason and what follows from it (consequence: "its settings are not read").
Result<FileBytes, FileReadRefusal> readXscreensaverFile(const std::string& path, const char* consequence);

} // namespace mirevo::viewer
