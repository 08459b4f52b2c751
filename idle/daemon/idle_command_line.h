#pragma once
// mirevo-idle's command line: --timeout MINUTES, --lock-after SECONDS, --lock-command COMMAND, --autostart on|off,
// --status, --version, --help.
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "idle/daemon/idle_timeout.h"

namespace mirevo {

// The X protocol carries the saver's timeout as a signed 16-bit count of seconds.
constexpr int kMaxTimeoutMinutes = 32767 / 60;
// The longest grace before locking: a day.
constexpr int kMaxLockAfterSeconds = 86400;
// The longest lock command taken (a login entry carries it on one line).
constexpr size_t kMaxLockCommandBytes = 4096;

struct IdleOptions {
    std::optional<int> timeoutMinutes; // nothing: the X server's own setting holds (a default on Wayland)
    // --idle-seconds N, left out of the help: lets a test wait seconds rather than minutes. Wins over --timeout.
    std::optional<int> timeoutSeconds;
    std::optional<int> lockAfterSeconds; // nothing: locking is off
    std::string lockCommand;             // empty: the desktop's own locker
    std::optional<bool> autostart;     // write (true) or remove (false) the login entry, then end
    bool status = false;               // ask the running one what holds the screen saver off, then end
    bool help = false;
    bool version = false;
};

// A one-line reason, already prefixed with the program's name.
struct IdleUsageError {
    std::string line;
};

// The arguments after the program's name. A repeated option takes its last value.
Result<IdleOptions, IdleUsageError> parseIdleCommandLine(const std::vector<std::string>& arguments);

std::string idleHelpText();
std::string idleVersionText();

// The idle time the command line asks for, in seconds; nothing when it names none.
std::optional<int> requestedTimeoutSeconds(const IdleOptions& options);

// Whose idle time the command line leaves in force, on X11 or in a Wayland session.
TimeoutOrigin timeoutOrigin(const IdleOptions& options, bool wayland);

// The arguments that give the daemon the same idle time and locking again (for the login entry).
std::vector<std::string> daemonArguments(const IdleOptions& options);

} // namespace mirevo
