// Arbitrary argument lists (NUL-separated) through mirevo-idle's command line and the login entry: an error
// is one line, a timeout and the locking options stay in range and survive the trip through the entry's
// arguments, and an entry
// has its eleven lines whatever the program's path.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "idle/daemon/autostart_entry.h"
#include "idle/daemon/idle_command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mirevo;
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size; ++i)
        data[i] ? arguments.back().push_back(char(data[i])) : void(arguments.emplace_back());
    const auto entry = autostartEntryText(arguments[0], {"--timeout", "5"});
    if (entry && std::count(entry->begin(), entry->end(), '\n') != 11) std::abort();

    const auto parsed = parseIdleCommandLine(arguments);
    if (!parsed) {
        const IdleUsageError* error = &parsed.reason();
        if (error->line.empty() || error->line.find('\n') != std::string::npos)
            std::abort();
        return 0;
    }
    const auto timeout = parsed->timeoutMinutes;
    if (timeout && (*timeout < 0 || *timeout > kMaxTimeoutMinutes)) std::abort();
    const auto lockAfter = parsed->lockAfterSeconds;
    if (lockAfter && (*lockAfter < 0 || *lockAfter > kMaxLockAfterSeconds)) std::abort();
    const auto again = parseIdleCommandLine(daemonArguments(*parsed));
    if (!again || again->timeoutMinutes != timeout || again->lockAfterSeconds != lockAfter ||
        again->lockCommand != parsed->lockCommand)
        std::abort();
    // The entry carries the lock command on its one Exec line.
    const auto withLock = autostartEntryText("/usr/bin/mirevo-idle", daemonArguments(*parsed));
    if (!withLock || std::count(withLock->begin(), withLock->end(), '\n') != 11) std::abort();
    return 0;
}
