#include "idle/daemon/idle_command_line.h"

#include "idle/daemon/idle_timeout.h"
#include "common/printable_text.h"

namespace mirevo {
namespace {

constexpr const char* kSeeHelp = " (see mirevo-idle --help)";

std::optional<int> wholeNumber(const std::string& text, int most) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > most) return std::nullopt;
    return value;
}

Failure<IdleUsageError> usage(const std::string& why) {
    return Failure(IdleUsageError{why + kSeeHelp});
}

// Quoted for the error line, with control characters shown as '?', so that what a user typed can neither
// break the line nor move the terminal's cursor.
std::string shown(const std::string& text) {
    const PrintableText head = printableText(text, 64);
    return '"' + head.text + (head.cut ? "...\"" : "\"");
}

} // namespace

Result<IdleOptions, IdleUsageError> parseIdleCommandLine(const std::vector<std::string>& arguments) {
    IdleOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const bool takesValue = name == "--timeout" || name == "--autostart" || name == "--idle-seconds" ||
                                name == "--lock-after" || name == "--lock-command";
        const bool flag = name == "--help" || name == "-h" || name == "--version" || name == "--status";
        if (!takesValue && !flag) return usage("unknown argument " + shown(arguments[i]));
        if (flag && value) return usage(name + " takes no value");
        if (takesValue && !value) {
            if (i + 1 == arguments.size()) return usage(name + " needs a value");
            value = arguments[++i];
        }

        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--status") {
            options.status = true;
        } else if (name == "--timeout") {
            options.timeoutMinutes = wholeNumber(*value, kMaxTimeoutMinutes);
            if (!options.timeoutMinutes)
                return usage("--timeout needs a whole number of minutes from 0 to " +
                             std::to_string(kMaxTimeoutMinutes) + ", not " + shown(*value));
        } else if (name == "--idle-seconds") {
            options.timeoutSeconds = wholeNumber(*value, kMaxTimeoutMinutes * 60);
            if (!options.timeoutSeconds)
                return usage("--idle-seconds needs a whole number of seconds from 0 to " +
                             std::to_string(kMaxTimeoutMinutes * 60) + ", not " + shown(*value));
        } else if (name == "--lock-after") {
            options.lockAfterSeconds = wholeNumber(*value, kMaxLockAfterSeconds);
            if (!options.lockAfterSeconds)
                return usage("--lock-after needs a whole number of seconds from 0 to " +
                             std::to_string(kMaxLockAfterSeconds) + ", not " + shown(*value));
        } else if (name == "--lock-command") {
            const PrintableText printable = printableText(*value, kMaxLockCommandBytes);
            if (value->find_first_not_of(" \t") == std::string::npos)
                return usage("--lock-command needs a command (run through /bin/sh -c)");
            if (printable.cut || printable.text != *value)
                return usage("--lock-command takes one line of at most " + std::to_string(kMaxLockCommandBytes) +
                             " bytes of printable text, not " + shown(*value));
            options.lockCommand = *value;
        } else { // --autostart
            if (*value != "on" && *value != "off")
                return usage("--autostart takes on or off, not " + shown(*value));
            options.autostart = *value == "on";
        }
    }
    if (!options.lockCommand.empty() && !options.lockAfterSeconds)
        return usage("--lock-command names what locks once --lock-after SECONDS turns locking on");
    return options;
}

std::string idleHelpText() {
    return "Usage: mirevo-idle [--timeout MINUTES] [--lock-after SECONDS [--lock-command COMMAND]]\n"
           "       mirevo-idle --autostart on|off [the same options]\n"
           "       mirevo-idle --status\n"
           "Starts the Mirevo screen saver (Mirevo.scr /s) when the user is idle: as the X server's\n"
           "screen-saver timer says on X11; in a Wayland session as the compositor says (ext-idle-notify-v1,\n"
           "KDE's idle protocol, or GNOME's idle monitor). Programs that ask for the screen saver to be held\n"
           "off, through the X server, the compositor's idle inhibitors or org.freedesktop.ScreenSaver on the\n"
           "session bus (video players, browsers), are obeyed. With --lock-after it hands over to the\n"
           "desktop's lock screen; Mirevo never asks for a password itself.\n"
           "\n"
           "  --timeout MINUTES   the idle time for this session (0: never start); without it, on X11\n"
           "                      the server's own setting holds (xset s SECONDS), and in a Wayland\n"
           "                      session it is " + std::to_string(kDefaultWaylandTimeoutMinutes) + " minutes\n"
           "  --lock-after SECONDS  lock the screen when a run of the screen saver that has shown\n"
           "                      its floor for SECONDS ends (0: every run; a key within that time\n"
           "                      just ends the floor), when the system sleeps, and when the session\n"
           "                      is asked to lock (loginctl lock-session, xdg-screensaver lock)\n"
           "  --lock-command COMMAND  what locks, through /bin/sh -c; it must return once the screen\n"
           "                      is locked (swaylock -f). Without it: GNOME Shell's or KDE's own\n"
           "                      locker, swaylock -f on wlroots desktops, a running xscreensaver or\n"
           "                      light-locker on X11, else logind's LockSession\n"
           "  --autostart on|off  start mirevo-idle at every login with the options given, or no\n"
           "                      longer, and end\n"
           "  --status            show the idle time, whether the screen saver is active and what\n"
           "                      holds it off, as the running mirevo-idle knows it, and end\n"
           "  --version           print the version and end\n"
           "  --help              print this help and end\n";
}

std::string idleVersionText() {
    return std::string("mirevo-idle (Mirevo) ") + MIREVO_VERSION + "\n";
}

std::optional<int> requestedTimeoutSeconds(const IdleOptions& options) {
    if (options.timeoutSeconds) return options.timeoutSeconds;
    if (options.timeoutMinutes) return *options.timeoutMinutes * 60;
    return std::nullopt;
}

TimeoutOrigin timeoutOrigin(const IdleOptions& options, bool wayland) {
    if (options.timeoutSeconds) return TimeoutOrigin::IdleSeconds;
    if (options.timeoutMinutes) return TimeoutOrigin::CommandLine;
    return wayland ? TimeoutOrigin::WaylandDefault : TimeoutOrigin::XServer;
}

std::vector<std::string> daemonArguments(const IdleOptions& options) {
    std::vector<std::string> arguments;
    if (options.timeoutMinutes) arguments.insert(arguments.end(), {"--timeout", std::to_string(*options.timeoutMinutes)});
    if (options.lockAfterSeconds)
        arguments.insert(arguments.end(), {"--lock-after", std::to_string(*options.lockAfterSeconds)});
    if (!options.lockCommand.empty()) arguments.insert(arguments.end(), {"--lock-command", options.lockCommand});
    return arguments;
}

} // namespace mirevo
