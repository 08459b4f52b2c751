#pragma once
// A private session bus for one test: dbus-daemon listening on a socket in a private folder (or at a path
// the test names, to start a bus again where one was), stopped when this object goes.
#include <memory>
#include <string>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"

#include <unistd.h>

namespace mirevo::test {

class DBusSession {
public:
    explicit DBusSession(std::string socket = {}) : socket_(socket.empty() ? folder_ / "bus" : socket) {
        using namespace std::chrono_literals;
        ::unlink(socket_.c_str());
        daemon_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--nosyslog",
                                     "--print-address", "--address=unix:path=" + socket_});
        // It prints its address once it listens (the socket's file is there a moment before).
        if (!pollUntil(10s, [&] { return daemon_->output().find('\n') != std::string::npos; }))
            daemon_.reset();
    }
    bool ok() const { return daemon_ != nullptr; }
    std::string address() const { return "unix:path=" + socket_; }
    pid_t pid() const { return daemon_ ? daemon_->pid() : -1; }

private:
    TempDir folder_;
    std::string socket_;
    std::unique_ptr<ChildProcess> daemon_;
};

} // namespace mirevo::test
