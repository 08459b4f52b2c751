#pragma once
// SIGTERM, SIGINT and SIGHUP close the session like any other close request: the music is stopped and the
// cursor shown before the program ends. The signals are caught by common/posix's catcher; its pipe wakes the
// event loop, where the work runs.
#include <functional>
#include <memory>

#include "common/posix/posix_stop_signals.h"

class QSocketNotifier;

namespace mirevo {

class QtStopSignals {
public:
    // Catches the stop signals (if catchStopSignals has not yet); onStop runs on the event loop, at once for
    // a stop that came before.
    explicit QtStopSignals(std::function<void()> onStop);
    // The signals take their default action again.
    ~QtStopSignals();
    QtStopSignals(const QtStopSignals&) = delete;
    QtStopSignals& operator=(const QtStopSignals&) = delete;

private:
    std::function<void()> onStop_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace mirevo
