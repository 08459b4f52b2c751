#include "idle/session/posix_session_starter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QSocketNotifier>
#include <sys/syscall.h>
#include <unistd.h>

namespace mirevo {

struct PosixSessionStarter::Run {
    StartedProgram program;
    UniqueFd exited; // readable once the process has ended
    std::unique_ptr<QSocketNotifier> notifier;
};

PosixSessionStarter::PosixSessionStarter(std::string saverProgram) : program_(std::move(saverProgram)) {}

// mirevo-idle's end (a stop signal, its desktop gone) ends the runs it started: a saver outliving the watch
// that started it would be nobody's to follow.
PosixSessionStarter::~PosixSessionStarter() {
    sessionEnded_ = nullptr;
    for (const auto& run : runs_)
        run->program.end();
}

bool PosixSessionStarter::startSession() {
    auto run = std::make_unique<Run>();
    if (!run->program.start(program_, {"/s"})) {
        std::fprintf(stderr, "mirevo-idle: cannot start %s: %s\n", program_.c_str(), std::strerror(errno));
        return false;
    }
    // Through syscall(): glibc 2.36 declares pidfd_open without C linkage.
    run->exited = UniqueFd(int(::syscall(SYS_pidfd_open, run->program.pid(), 0)));
    if (!run->exited.valid()) {
        // A kernel without pidfds (before Linux 5.3): the run cannot be followed, so it counts as over now
        // and is collected when it has ended, at a later start.
        for (auto it = runs_.begin(); it != runs_.end();)
            it = (*it)->program.ended() ? runs_.erase(it) : std::next(it);
        runs_.push_back(std::move(run));
        return false;
    }
    Run* raw = run.get();
    run->notifier = std::make_unique<QSocketNotifier>(run->exited.get(), QSocketNotifier::Read);
    QObject::connect(run->notifier.get(), &QSocketNotifier::activated, [this, raw] { collect(raw); });
    runs_.push_back(std::move(run));
    return true;
}

void PosixSessionStarter::collect(Run* run) {
    if (!run->program.ended()) return;
    run->notifier->setEnabled(false);
    // Not deleted here: this runs inside the notifier's own signal.
    run->notifier.release()->deleteLater();
    runs_.remove_if([run](const std::unique_ptr<Run>& r) { return r.get() == run; });
    if (sessionEnded_) sessionEnded_();
}

} // namespace mirevo
