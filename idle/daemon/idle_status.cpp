#include "idle/daemon/idle_status.h"

#include "common/printable_text.h"

namespace mirevo {
namespace {

std::string count(uint32_t n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

std::string named(const std::string& application) {
    return application.empty() ? std::string("a program without a name") : '"' + application + '"';
}

std::string timeOfDay(std::time_t when) {
    std::tm local{};
    char text[16] = "";
    if (localtime_r(&when, &local)) std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

} // namespace

std::string callerText(const std::string& text) {
    return printableText(text, kMaxCallerText).text;
}

std::string inhibitTakenLine(const std::string& application, const std::string& reason) {
    return named(application) + " holds the screen saver off: \"" + reason + '"';
}

std::string inhibitReleasedLine(const std::string& application, const std::string& reason) {
    return named(application) + " no longer holds the screen saver off (\"" + reason +
           "\")";
}

std::string inhibitOwnerLeftLine(const std::string& application, const std::string& reason) {
    return named(application) + " left the session bus; its hold on the screen saver (\"" +
           reason + "\") is dropped";
}

std::string busLostLine(size_t dropped) {
    const std::string what =
        dropped == 0 ? std::string("no inhibit was held over it")
        : dropped == 1
            ? std::string("dropped the inhibit held over it, as its program can no longer release it")
            : "dropped the " + count(uint32_t(dropped), "inhibit") +
                  " held over it, as their programs can no longer release them";
    return "lost the session bus (" + what +
           "); only the idle timer (the X server's or the compositor's) counts until a bus comes back";
}

std::string spanText(uint32_t seconds) {
    if (seconds < 60) return count(seconds, "second");
    if (seconds < 3600) return count(seconds / 60, "minute");
    const uint32_t minutes = seconds / 60 % 60;
    return count(seconds / 3600, "hour") + (minutes ? " " + count(minutes, "minute") : "");
}

std::string statusText(const IdleStatus& status, std::time_t now) {
    std::string text =
        "idle time: " +
        (status.timeoutSeconds > 0 ? spanText(uint32_t(status.timeoutSeconds))
                                   : std::string("none (the screen saver never starts by itself)")) +
        "\n";
    if (!status.source.empty()) text += "idle from: " + status.source + "\n";
    text += "screen saver: " +
            (status.active ? "active for " + spanText(status.activeSeconds) : std::string("not active")) +
            "\n";
    if (status.inhibits.empty()) {
        text += "held off by: nothing\n";
    } else {
        text += "held off by " + count(uint32_t(status.inhibits.size()), "inhibit") + ":\n";
        for (const HeldInhibit& held : status.inhibits)
            text += "  " + named(held.application) + ": \"" + held.reason + "\" since " +
                    timeOfDay(now - std::time_t(held.heldSeconds)) + " (" + spanText(held.heldSeconds) + ")\n";
    }
    for (const std::string& line : status.locking)
        text += line + "\n";
    return text;
}

} // namespace mirevo
