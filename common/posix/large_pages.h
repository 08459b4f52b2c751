#pragma once
// Large pages for large buffers. A full-screen picture, its texture and the GL's buffers are tens of megabytes
// each, filled once at start-up; the kernel faults them in a 4 KiB page at a time (on a virtual machine each
// fault is costly) unless the memory is marked for transparent huge pages. The C library's allocator marks what
// it maps when its tunable "glibc.malloc.hugetlb=1" is set, which it reads only at program start: a program
// that wants it starts itself again with the tunable in its environment.
#include <optional>
#include <string>
#include <string_view>

namespace mirevo {

// The GLIBC_TUNABLES value to restart with, or nothing when a restart would not help: the kernel's mode (the
// text of /sys/kernel/mm/transparent_hugepage/enabled) gives large pages only when asked ("[madvise]"; with
// "[always]" they come anyway, with "[never]" not at all), the C library is older than 2.35 (no such tunable),
// or the tunables already say something about it (ours after a restart, or the user's choice).
std::optional<std::string> tunablesForLargePages(std::string_view kernelMode, std::string_view libraryVersion,
                                                 const char* currentTunables);

// Replaces this process by the same program with the same arguments and the tunable set, when that helps;
// returns only when it does not, or the restart could not be made.
void restartWithLargePagesIfUseful(char** argv);

} // namespace mirevo
