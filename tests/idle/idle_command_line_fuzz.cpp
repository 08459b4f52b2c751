// Arbitrary argument lists (NUL-separated) through mirevo-idle's command line and the login entry: an error
// is one line, a timeout stays in range and survives the trip through the entry's arguments, and an entry
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
        if (error->line.rfind("mirevo-idle: ", 0) != 0 || error->line.find('\n') != std::string::npos)
            std::abort();
        return 0;
    }
    const auto timeout = parsed->timeoutMinutes;
    if (timeout && (*timeout < 0 || *timeout > kMaxTimeoutMinutes)) std::abort();
    const auto again = parseIdleCommandLine(timeoutArguments(*parsed));
    if (again->timeoutMinutes != timeout) std::abort();
    return 0;
}
