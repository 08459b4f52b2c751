#include "idle/daemon/idle_command_line.h"

#include "idle/daemon/idle_timeout.h"
#include "idle/printable_text.h"

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
    return Failure(IdleUsageError{"mirevo-idle: " + why + kSeeHelp});
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
        const bool takesValue = name == "--timeout" || name == "--autostart" || name == "--idle-seconds";
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
        } else { // --autostart
            if (*value != "on" && *value != "off")
                return usage("--autostart takes on or off, not " + shown(*value));
            options.autostart = *value == "on";
        }
    }
    return options;
}

std::string idleHelpText() {
    return "Usage: mirevo-idle [--timeout MINUTES]\n"
           "       mirevo-idle --autostart on|off [--timeout MINUTES]\n"
           "       mirevo-idle --status\n"
           "Starts the Mirevo screen saver (Mirevo.scr /s) when the user is idle: as the X server's\n"
           "screen-saver timer says on X11; in a Wayland session as the compositor says (ext-idle-notify-v1,\n"
           "KDE's idle protocol, or GNOME's idle monitor). Programs that ask for the screen saver to be held\n"
           "off, through the X server, the compositor's idle inhibitors or org.freedesktop.ScreenSaver on the\n"
           "session bus (video players, browsers), are obeyed. It does not lock the screen.\n"
           "\n"
           "  --timeout MINUTES   the idle time for this session (0: never start); without it, on X11\n"
           "                      the server's own setting holds (xset s SECONDS), and in a Wayland\n"
           "                      session it is " + std::to_string(kDefaultWaylandTimeoutMinutes) + " minutes\n"
           "  --autostart on|off  start mirevo-idle at every login, or no longer, and end\n"
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

std::vector<std::string> timeoutArguments(const IdleOptions& options) {
    if (!options.timeoutMinutes) return {};
    return {"--timeout", std::to_string(*options.timeoutMinutes)};
}

} // namespace mirevo
