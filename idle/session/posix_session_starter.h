#pragma once
// Starts Mirevo.scr /s for each activation and learns of each run's end through a pidfd in the event loop,
// collecting its exit status so that no zombie is left.
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "common/posix/posix_program.h"
#include "common/posix/unique_fd.h"
#include "idle/daemon/idle_source.h"

class QSocketNotifier;

namespace mirevo {

class PosixSessionStarter : public SessionStarter {
public:
    explicit PosixSessionStarter(std::string saverProgram);
    ~PosixSessionStarter() override;
    PosixSessionStarter(const PosixSessionStarter&) = delete;
    PosixSessionStarter& operator=(const PosixSessionStarter&) = delete;

    // Where each run's end is told, from before the first run on.
    void listen(std::function<void()> sessionEnded) { sessionEnded_ = std::move(sessionEnded); }
    bool startSession() override;

private:
    struct Run;
    void collect(Run* run);

    std::string program_;
    std::function<void()> sessionEnded_;
    std::list<std::unique_ptr<Run>> runs_;
};

} // namespace mirevo
