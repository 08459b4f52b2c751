#pragma once
// SIGTERM, SIGINT and SIGHUP close the session like any other close request: the music is stopped and the
// cursor shown before the program ends. The handler only writes to a pipe; the work runs on the event loop.
#include <functional>
#include <memory>

class QSocketNotifier;

namespace mirevo {

class QtStopSignals {
public:
    explicit QtStopSignals(std::function<void()> onStop);
    ~QtStopSignals();
    QtStopSignals(const QtStopSignals&) = delete;
    QtStopSignals& operator=(const QtStopSignals&) = delete;

private:
    std::function<void()> onStop_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace mirevo
