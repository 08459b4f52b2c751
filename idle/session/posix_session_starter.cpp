#include "idle/session/posix_session_starter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include <QSocketNotifier>
#include <sys/syscall.h>
#include <unistd.h>

#include "common/log.h"
#include "common/posix/floor_channel_end.h"

namespace mirevo {

struct PosixSessionStarter::Run {
    uint64_t number = 0;
    StartedProgram program;
    UniqueFd exited; // readable once the process has ended
    std::unique_ptr<QSocketNotifier> notifier;
    std::optional<FloorChannelEnd> channel;
    std::unique_ptr<QSocketNotifier> channelNotifier;
};

PosixSessionStarter::PosixSessionStarter(std::string saverProgram, bool withChannel)
    : program_(std::move(saverProgram)), withChannel_(withChannel) {}

// mirevo-idle's end (a stop signal, its desktop gone) ends the runs it started: a saver outliving the watch
// that started it would be nobody's to follow.
PosixSessionStarter::~PosixSessionStarter() {
    events_ = {};
    for (const auto& run : runs_)
        run->program.end();
}

bool PosixSessionStarter::startSession() {
    auto run = std::make_unique<Run>();
    ChildExtras extras;
    UniqueFd theirs; // closed here once the child has its own copy
    if (withChannel_) {
        if (auto pair = FloorChannelEnd::pair()) {
            run->channel = std::move(pair->first);
            theirs = std::move(pair->second);
            extras.inherited = theirs.get();
            extras.environment.push_back(std::string(kFloorChannelVariable) + "=" +
                                         std::to_string(theirs.get()));
        } else {
            logWarning(std::string("no channel to the screen saver (") + std::strerror(errno) +
                       "); a key ends its floor at once");
        }
    }
    if (!run->program.start(program_, {"/s"}, extras)) {
        logError("cannot start " + program_ + ": " + std::strerror(errno));
        return false;
    }
    theirs.reset();
    run->number = ++lastRun_;
    // Through syscall(): glibc 2.36 declares pidfd_open without C linkage.
    run->exited = UniqueFd(int(::syscall(SYS_pidfd_open, run->program.pid(), 0)));
    if (!run->exited.valid()) {
        // A kernel without pidfds (before Linux 5.3): the run cannot be followed, so it counts as over now
        // and is collected when it has ended, at a later start.
        for (auto it = runs_.begin(); it != runs_.end();)
            it = (*it)->program.ended() ? runs_.erase(it) : std::next(it);
        run->channel.reset();
        runs_.push_back(std::move(run));
        return false;
    }
    Run* raw = run.get();
    run->notifier = std::make_unique<QSocketNotifier>(run->exited.get(), QSocketNotifier::Read);
    QObject::connect(run->notifier.get(), &QSocketNotifier::activated, [this, raw] { collect(raw); });
    if (run->channel) {
        run->channelNotifier =
            std::make_unique<QSocketNotifier>(run->channel->descriptor(), QSocketNotifier::Read);
        QObject::connect(run->channelNotifier.get(), &QSocketNotifier::activated,
                         [this, raw] { readChannel(raw); });
    }
    runs_.push_back(std::move(run));
    if (events_.started) events_.started(raw->number);
    return true;
}

void PosixSessionStarter::readChannel(Run* run) {
    for (FloorMessage message : run->channel->receive()) {
        if (message == FloorMessage::Shown && events_.floorShown) events_.floorShown(run->number);
        if (message == FloorMessage::Key && events_.endingKey) events_.endingKey(run->number);
    }
    // The run's end is the pidfd's to tell; a closed channel has nothing more to say.
    if (run->channel->closed()) run->channelNotifier->setEnabled(false);
}

void PosixSessionStarter::tellFloor(uint64_t run, FloorMessage message) {
    for (const auto& r : runs_)
        if (r->number == run && r->channel) r->channel->send(message);
}

void PosixSessionStarter::collect(Run* run) {
    if (!run->program.ended()) return;
    run->notifier->setEnabled(false);
    // What the viewer said just before the end comes first.
    if (run->channel && !run->channel->closed()) readChannel(run);
    // Not deleted here: this runs inside the notifier's own signal.
    run->notifier.release()->deleteLater();
    if (run->channelNotifier) {
        run->channelNotifier->setEnabled(false);
        run->channelNotifier.release()->deleteLater();
    }
    const uint64_t number = run->number;
    runs_.remove_if([run](const std::unique_ptr<Run>& r) { return r.get() == run; });
    if (events_.ended) events_.ended(number);
}

} // namespace mirevo
