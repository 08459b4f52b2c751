#pragma once
// A program started by a test, with its own environment; killed if still running when the object goes.
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace mirevo::test {

class ChildProcess {
public:
    // argv[0] is the program path (run directly, no shell). env entries override or, with an empty
    // optional, remove variables of this process's environment. The program has no session bus unless env
    // names DBUS_SESSION_BUS_ADDRESS. stdout and stderr go to files in a scratch folder, readable with
    // output() and errors().
    ChildProcess(std::vector<std::string> argv, std::map<std::string, std::optional<std::string>> env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // Waits up to timeout for the exit; the exit code, 128 + signal when killed by one, or nothing on
    // timeout.
    std::optional<int> waitExit(std::chrono::milliseconds timeout);
    void terminate(); // SIGTERM, then SIGKILL after a second
    std::string output() const;
    std::string errors() const;

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string outPath_, errPath_, scratch_;
};

} // namespace mirevo::test
