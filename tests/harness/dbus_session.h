#pragma once
// A private session bus for one test: dbus-daemon listening on a socket in a private folder (or at a path
// the test names, to start a bus again where one was), stopped when this object goes. Without activation it
// starts no service of the system's on demand (a desktop portal, say), so stand-ins alone answer.
#include <memory>
#include <string>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"

#include <unistd.h>

namespace mirevo::test {

class DBusSession {
public:
    enum class Activation { Installed, Off };
    explicit DBusSession(std::string socket = {}, Activation activation = Activation::Installed)
        : socket_(socket.empty() ? folder_ / "bus" : socket) {
        using namespace std::chrono_literals;
        ::unlink(socket_.c_str());
        std::string config = "--session";
        if (activation == Activation::Off) {
            writeFile(folder_ / "bus.conf",
                      "<busconfig><type>session</type><listen>unix:path=" + socket_ +
                          "</listen><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                          "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
            config = "--config-file=" + folder_ / "bus.conf";
        }
        daemon_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/dbus-daemon", config, "--nofork", "--nosyslog", "--print-address",
                                     "--address=unix:path=" + socket_});
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
