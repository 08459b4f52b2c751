#include "common/qt/qt_stop_signals.h"

#include <csignal>

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

namespace mirevo {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
int pipeEnds[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(pipeEnds[1], &byte, 1);
}

} // namespace

QtStopSignals::QtStopSignals(std::function<void()> onStop) : onStop_(std::move(onStop)) {
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        char buffer[16];
        while (::read(pipeEnds[0], buffer, sizeof buffer) > 0) {
        }
        if (onStop_) onStop_();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals)
        sigaction(signal, &action, nullptr);
}

QtStopSignals::~QtStopSignals() {
    if (pipeEnds[0] < 0) return;
    for (int signal : kStopSignals)
        std::signal(signal, SIG_DFL);
    notifier_.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

} // namespace mirevo
