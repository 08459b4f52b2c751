#pragma once
// SIGTERM, SIGINT and SIGHUP close the session like any other close request: the music is stopped and the
// cursor shown before the program ends. The handler only notes the request and writes to a pipe; the work
// runs on the event loop.
#include <functional>
#include <memory>

class QSocketNotifier;

namespace mirevo {

// From now on the stop signals are only noted, for the QtStopSignals made later to act on, so that a stop
// that comes before the window that answers it exists is not lost. Call it first thing in main for a mode
// that makes one; QtStopSignals calls it itself.
void catchStopSignals();
// Whether a stop signal has come since they were caught.
bool stopRequested();

class QtStopSignals {
public:
    // onStop runs on the event loop, at once for a stop that came before.
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
