#include "common/qt/qt_stop_signals.h"

#include <csignal>

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

#include "common/posix/unique_fd.h"

namespace mirevo {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
// Where the handler can reach them.
UniqueFd readEnd;
UniqueFd writeEnd;
volatile std::sig_atomic_t requested = 0;

void onSignal(int) {
    requested = 1;
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(writeEnd.get(), &byte, 1);
}

} // namespace

void catchStopSignals() {
    if (readEnd.valid()) return;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd = UniqueFd(ends[0]);
    writeEnd = UniqueFd(ends[1]);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals)
        sigaction(signal, &action, nullptr);
}

bool stopRequested() {
    return requested != 0;
}

QtStopSignals::QtStopSignals(std::function<void()> onStop) : onStop_(std::move(onStop)) {
    catchStopSignals();
    if (!readEnd.valid()) return;
    // A byte already in the pipe (a stop before this) wakes the notifier at the first turn of the loop.
    notifier_ = std::make_unique<QSocketNotifier>(readEnd.get(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        char buffer[16];
        while (::read(readEnd.get(), buffer, sizeof buffer) > 0) {
        }
        if (onStop_) onStop_();
    });
}

QtStopSignals::~QtStopSignals() {
    if (!readEnd.valid()) return;
    for (int signal : kStopSignals)
        std::signal(signal, SIG_DFL);
    notifier_.reset();
    readEnd.reset();
    writeEnd.reset();
    requested = 0;
}

} // namespace mirevo
