#include "saver/startup_stop_guard.h"

#include <cstdio>

#include <unistd.h>

#include "common/log.h"
#include "common/posix/posix_stop_signals.h"

namespace mirevo {
namespace {

// How often the watcher looks for a stop: the handler only notes it.
constexpr std::chrono::milliseconds kLook{50};

} // namespace

StartupStopGuard::StartupStopGuard(std::chrono::milliseconds grace) : grace_(grace), watcher_([this] { watch(); }) {}

StartupStopGuard::~StartupStopGuard() {
    disarm();
    watcher_.join();
}

void StartupStopGuard::disarm() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        disarmed_ = true;
    }
    changed_.notify_all();
}

void StartupStopGuard::watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!disarmed_ && !stopRequested())
        changed_.wait_for(lock, kLook);
    if (disarmed_) return;
    if (changed_.wait_for(lock, grace_, [this] { return disarmed_; })) return;
    logError("asked to stop during its start-up, which did not answer; ending now.");
    ::_exit(0);
}

} // namespace mirevo
