#pragma once
// A locker run as a program: the user's --lock-command through /bin/sh -c, swaylock -f, xscreensaver-command
// -lock. It is done when it exits: 0 says the screen is locked, anything else that it is not (with the first
// line it printed). It runs in a process group of its own, so that giving up on it ends all it started before
// it returned; once it has returned, what it left running is the lock itself and is never touched. Its output
// goes to a pipe that is read (and, past its first line, thrown away) for as long as anything holds it open,
// and it runs with SIGPIPE ignored, so that a locker writing after mirevo-idle has gone gets an error, not
// its death.
#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "common/posix/unique_fd.h"
#include "idle/lock/covered.h"

class QSocketNotifier;
class QTimer;

namespace mirevo {

class PosixLockCommands {
public:
    using Done = std::function<void(const Covered& covered)>;

    PosixLockCommands();
    ~PosixLockCommands();
    PosixLockCommands(const PosixLockCommands&) = delete;
    PosixLockCommands& operator=(const PosixLockCommands&) = delete;

    // Starts argv (argv[0] looked for in PATH when it holds no '/'); done is called once, from the event
    // loop. name: the command as lines name it.
    void start(const std::vector<std::string>& argv, const std::string& name, Done done);
    // Gives up on the command started last if it still runs: its process group is ended (SIGTERM, SIGKILL a
    // second later), and done is not called.
    void stop();

    // Runs argv quietly and waits at most deadline: its exit code, or -1 (not started, or still running,
    // which is then killed).
    static int runQuietly(const std::vector<std::string>& argv, std::chrono::milliseconds deadline);

private:
    struct Command;
    struct Drain;
    void exited(Command* command);
    void drain(Drain* drain);

    std::list<std::unique_ptr<Command>> commands_; // running; the last started is last_
    Command* last_ = nullptr;
    std::list<std::shared_ptr<Drain>> drains_;
};

} // namespace mirevo
