#pragma once
// Starts Mirevo.scr /s for each activation and learns of each run's end through a pidfd in the event loop,
// collecting its exit status so that no zombie is left. When locking is on, each run gets the floor's channel
// (common/floor_channel.h): what its viewer says is told as the run's events, and the lock keeper's words go
// to it.
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "common/floor_channel.h"
#include "common/posix/posix_program.h"
#include "common/posix/unique_fd.h"
#include "idle/daemon/idle_source.h"

class QSocketNotifier;

namespace mirevo {

// A run's events, each with the run's number.
struct SessionRunEvents {
    std::function<void(uint64_t)> started, floorShown, endingKey, ended;
};

class PosixSessionStarter : public SessionStarter {
public:
    // withChannel: each run gets the floor's channel.
    PosixSessionStarter(std::string saverProgram, bool withChannel);
    ~PosixSessionStarter() override;
    PosixSessionStarter(const PosixSessionStarter&) = delete;
    PosixSessionStarter& operator=(const PosixSessionStarter&) = delete;

    // Where each run's events are told, from before the first run on.
    void listen(SessionRunEvents events) { events_ = std::move(events); }
    bool startSession() override;
    // A word to a run's floor; nothing for a run that has ended or has no channel.
    void tellFloor(uint64_t run, FloorMessage message);

private:
    struct Run;
    void collect(Run* run);
    void readChannel(Run* run);

    std::string program_;
    bool withChannel_;
    SessionRunEvents events_;
    std::list<std::unique_ptr<Run>> runs_;
    uint64_t lastRun_ = 0;
};

} // namespace mirevo
