#include "idle/daemon/idle_timeout.h"

namespace mirevo {
namespace {

std::string count(int n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

} // namespace

std::string timeoutLine(int seconds, TimeoutOrigin origin) {
    const std::string whose =
        origin == TimeoutOrigin::CommandLine   ? "set by --timeout"
        : origin == TimeoutOrigin::IdleSeconds ? "set by --idle-seconds"
        : origin == TimeoutOrigin::XServer
            ? "the X server's setting; change it with xset s SECONDS or mirevo-idle --timeout MINUTES"
            : "mirevo-idle's default in a Wayland session; change it with mirevo-idle --timeout MINUTES";
    if (seconds <= 0)
        return "the screen saver never starts by itself: its idle time is 0 (" + whose + ")";
    const std::string time = seconds % 60 == 0 ? count(seconds / 60, "minute") : count(seconds, "second");
    return "the screen saver starts after " + time + " without input (" + whose + ")";
}

} // namespace mirevo
