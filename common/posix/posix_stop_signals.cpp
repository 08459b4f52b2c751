#include "common/posix/posix_stop_signals.h"

#include <csignal>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "common/posix/unique_fd.h"

namespace mirevo {
namespace {

// Where the handler can reach them.
UniqueFd readEnd;
UniqueFd writeEnd;
volatile std::sig_atomic_t requested = 0;
bool hangUpCaught = false;

void onSignal(int) {
    requested = 1;
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(writeEnd.get(), &byte, 1);
}

void setAction(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    if (hangUpCaught) sigaction(SIGHUP, &action, nullptr);
}

} // namespace

void catchStopSignals(HangUp hangUp) {
    if (readEnd.valid()) return;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd = UniqueFd(ends[0]);
    writeEnd = UniqueFd(ends[1]);
    hangUpCaught = hangUp == HangUp::Stops;
    setAction(onSignal);
}

bool stopRequested() {
    return requested != 0;
}

int stopSignalFd() {
    return readEnd.get();
}

void drainStopSignalFd() {
    char buffer[16];
    while (readEnd.valid() && ::read(readEnd.get(), buffer, sizeof buffer) > 0) {
    }
}

void releaseStopSignals() {
    if (!readEnd.valid()) return;
    setAction(SIG_DFL);
    readEnd.reset();
    writeEnd.reset();
    requested = 0;
}

bool stopWithParent() {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have died between starting us and the request above.
    return getppid() != 1;
}

} // namespace mirevo
