#include "viewer/scene/linux_end_signals.h"

#include <csignal>
#include <initializer_list>

#include <sys/prctl.h>
#include <unistd.h>

namespace mirevo::viewer {

namespace {

volatile std::sig_atomic_t endSignal = 0;

void onEndSignal(int signal) {
    endSignal = signal;
}

} // namespace

bool linuxEndWithParent() {
    // Installed before SDL starts, so SDL leaves them alone (it would restore the default action on its way
    // out, and a late SIGTERM would then kill the process instead of letting it end).
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT})
        sigaction(signal, &action, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have died between starting us and the request above.
    return getppid() != 1;
}

bool endRequested() {
    return endSignal != 0;
}

} // namespace mirevo::viewer
