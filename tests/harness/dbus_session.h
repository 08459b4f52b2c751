#pragma once
// A private session bus for one test: dbus-daemon listening on a socket in a private folder, stopped when
// this object goes.
#include <memory>
#include <string>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"

#include <unistd.h>

namespace mirevo::test {

class DBusSession {
public:
    DBusSession()
        : daemon_(std::make_unique<ChildProcess>(
              std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--nosyslog",
                                       "--address=unix:path=" + socket()})) {
        using namespace std::chrono_literals;
        if (!pollUntil(10s, [&] { return ::access(socket().c_str(), F_OK) == 0; })) daemon_.reset();
    }
    bool ok() const { return daemon_ != nullptr; }
    std::string address() const { return "unix:path=" + socket(); }

private:
    std::string socket() const { return folder_ / "bus"; }
    TempDir folder_;
    std::unique_ptr<ChildProcess> daemon_;
};

} // namespace mirevo::test
