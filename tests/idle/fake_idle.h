#pragma once
// Stand-ins for the X server's timer and the session starter: they note what the daemon asks of them.
#include <vector>

#include "idle/daemon/idle_source.h"

namespace mirevo {

struct RecordingSource : IdleSource {
    std::vector<bool> suspends;
    int resets = 0;
    void start(IdleSourceEvents) override {}
    void suspend(bool suspended) override { suspends.push_back(suspended); }
    void resetIdleTimer() override { ++resets; }
    int timeoutSeconds() override { return 0; }
    void setTimeoutSeconds(int) override {}
};
struct CountingStarter : SessionStarter {
    int started = 0;
    bool works = true;
    bool startSession() override { return started += works, works; }
};

} // namespace mirevo
