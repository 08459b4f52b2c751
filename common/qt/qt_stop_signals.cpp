#include "common/qt/qt_stop_signals.h"

#include <QSocketNotifier>

namespace mirevo {

QtStopSignals::QtStopSignals(std::function<void()> onStop) : onStop_(std::move(onStop)) {
    catchStopSignals();
    if (stopSignalFd() < 0) return;
    // A byte already in the pipe (a stop before this) wakes the notifier at the first turn of the loop.
    notifier_ = std::make_unique<QSocketNotifier>(stopSignalFd(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        drainStopSignalFd();
        if (onStop_) onStop_();
    });
}

QtStopSignals::~QtStopSignals() {
    if (!notifier_) return;
    notifier_.reset();
    releaseStopSignals();
}

} // namespace mirevo
