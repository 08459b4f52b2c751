#include "idle/lockers/posix_lock_command.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include <QSocketNotifier>
#include <QTimer>
#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "idle/daemon/idle_status.h"

extern char** environ;

namespace mirevo {
namespace {

// As much of its output as a line of ours shows.
constexpr size_t kHeadBytes = 200;

struct SpawnSetup {
    SpawnSetup() {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

// Starts argv with the output going to out (or /dev/null when out < 0), in a process group of its own; the
// pid, or -1 with errno set.
pid_t spawn(const std::vector<std::string>& argv, int out) {
    SpawnSetup setup;
    sigset_t none, handled;
    sigemptyset(&none);
    sigemptyset(&handled);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&handled, signal);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &handled);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0) {
        posix_spawn_file_actions_adddup2(&setup.actions, out, 1);
        posix_spawn_file_actions_adddup2(&setup.actions, out, 2);
    } else {
        posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&setup.actions, 1, 2);
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, args[0], &setup.actions, &setup.attributes, args.data(), environ);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return pid;
}

} // namespace

struct PosixLockCommands::Drain {
    UniqueFd fd;
    std::unique_ptr<QSocketNotifier> notifier;
    std::string head;
    bool lineDone = false;
};

struct PosixLockCommands::Command {
    pid_t pid = -1;
    std::string name;
    UniqueFd exited;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QTimer> poll; // without pidfds (before Linux 5.3)
    std::shared_ptr<Drain> output;
    Done done;
};

PosixLockCommands::PosixLockCommands() = default;

// A command still running when mirevo-idle ends is left alone: it may be the lock itself.
PosixLockCommands::~PosixLockCommands() = default;

void PosixLockCommands::start(const std::vector<std::string>& argv, const std::string& name, Done done) {
    stop();
    auto command = std::make_unique<Command>();
    command->name = name;
    const auto failed = [&](const std::string& why) {
        QTimer::singleShot(0, [done, why] { done(Failure(why)); });
    };
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return failed(std::string("no pipe for the locker's output: ") + std::strerror(errno));
    UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
    command->pid = spawn(argv, writeEnd.get());
    writeEnd.reset();
    if (command->pid < 0) return failed("cannot start " + command->name + ": " + std::strerror(errno));
    command->done = std::move(done);

    auto output = std::make_shared<Drain>();
    output->fd = std::move(readEnd);
    ::fcntl(output->fd.get(), F_SETFL, O_NONBLOCK);
    output->notifier = std::make_unique<QSocketNotifier>(output->fd.get(), QSocketNotifier::Read);
    Drain* rawOutput = output.get();
    QObject::connect(output->notifier.get(), &QSocketNotifier::activated,
                     [this, rawOutput] { drain(rawOutput); });
    drains_.push_back(output);
    command->output = std::move(output);

    Command* raw = command.get();
    command->exited = UniqueFd(int(::syscall(SYS_pidfd_open, command->pid, 0)));
    if (command->exited.valid()) {
        command->notifier = std::make_unique<QSocketNotifier>(command->exited.get(), QSocketNotifier::Read);
        QObject::connect(command->notifier.get(), &QSocketNotifier::activated, [this, raw] { exited(raw); });
    } else {
        command->poll = std::make_unique<QTimer>();
        QObject::connect(command->poll.get(), &QTimer::timeout, [this, raw] { exited(raw); });
        command->poll->start(50);
    }
    last_ = raw;
    commands_.push_back(std::move(command));
}

void PosixLockCommands::exited(Command* command) {
    int status = 0;
    const pid_t reaped = ::waitpid(command->pid, &status, WNOHANG);
    if (reaped == 0) return;
    // Not deleted here: this runs inside the notifier's (or the timer's) own signal.
    if (command->notifier) {
        command->notifier->setEnabled(false);
        command->notifier.release()->deleteLater();
    }
    if (command->poll) {
        command->poll->stop();
        command->poll.release()->deleteLater();
    }
    // Its first line, as far as it has come.
    if (command->output->fd.valid()) drain(command->output.get());
    const std::string name = command->name, head = callerText(command->output->head);
    Done done = std::move(command->done);
    if (last_ == command) last_ = nullptr;
    commands_.remove_if([command](const std::unique_ptr<Command>& c) { return c.get() == command; });
    if (!done) return;
    if (reaped < 0) return done(Failure(name + " could not be followed"));
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return done({});
    const std::string how = WIFEXITED(status) ? "exited with code " + std::to_string(WEXITSTATUS(status))
                                              : "was killed by signal " + std::to_string(WTERMSIG(status));
    done(Failure(name + " " + how + (head.empty() ? std::string() : ": " + head)));
}

void PosixLockCommands::drain(Drain* drain) {
    char buffer[4096];
    for (int reads = 0; reads < 16; ++reads) {
        const ssize_t got = ::read(drain->fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return;
        if (got <= 0) {
            // Nobody holds the pipe any more.
            drain->notifier->setEnabled(false);
            drain->notifier.release()->deleteLater();
            drain->fd.reset();
            drains_.remove_if([drain](const std::shared_ptr<Drain>& d) { return d.get() == drain; });
            return;
        }
        for (ssize_t i = 0; i < got && !drain->lineDone; ++i) {
            const unsigned char c = static_cast<unsigned char>(buffer[i]);
            if (c == '\n') {
                drain->lineDone = !drain->head.empty();
                continue;
            }
            if (drain->head.size() >= kHeadBytes) {
                drain->lineDone = true;
                drain->head += "...";
                break;
            }
            drain->head += c < 0x20 || c == 0x7f ? '?' : char(c);
        }
    }
    // A flood: the rest is read on the next wake-up, so the loop is never held.
}

void PosixLockCommands::stop() {
    if (!last_) return;
    const pid_t group = last_->pid;
    last_->done = nullptr; // reaped when it ends, and said nothing of
    last_ = nullptr;
    ::kill(-group, SIGTERM);
    QTimer::singleShot(1000, [group] { ::kill(-group, SIGKILL); });
}

int PosixLockCommands::runQuietly(const std::vector<std::string>& argv, std::chrono::milliseconds deadline) {
    const pid_t pid = spawn(argv, -1);
    if (pid < 0) return -1;
    const auto end = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    for (;;) {
        const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
        if (reaped == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (reaped < 0) return -1;
        if (std::chrono::steady_clock::now() >= end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

} // namespace mirevo
