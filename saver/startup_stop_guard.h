#pragma once
// A stop signal ends the saver at every moment of its start-up. The stop signals are caught first thing, and
// each wait of the start-up the saver makes itself (the compositor, the picture sources) watches for one;
// this guard covers the calls that cannot (a display server or compositor that stops answering in the middle
// of the toolkit's connection, a drive slow to open): once a stop has come, the start-up is given a grace
// period to act on it, after which the process ends here. Disarmed once the start-up is over and the event
// loop answers stops. Whatever the saver started before (the viewer) ends with it.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace mirevo {

class StartupStopGuard {
public:
    explicit StartupStopGuard(std::chrono::milliseconds grace = std::chrono::seconds(3));
    ~StartupStopGuard();
    StartupStopGuard(const StartupStopGuard&) = delete;
    StartupStopGuard& operator=(const StartupStopGuard&) = delete;

    void disarm();

private:
    void watch();

    std::chrono::milliseconds grace_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool disarmed_ = false;
    std::thread watcher_;
};

} // namespace mirevo
