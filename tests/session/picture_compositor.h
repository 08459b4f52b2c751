#pragma once
// The tests' own compositor with the wlroots screen copy (picture_compositor.cpp), started in a private
// runtime folder for one test or test suite. The test names the program's path as MIREVO_PICTURE_COMPOSITOR.
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"

namespace mirevo::test {

class PictureCompositor {
public:
    // options: picture_compositor's own ("--copy", "silent", ...). Up once it says it listens.
    explicit PictureCompositor(std::vector<std::string> options = {}, std::string socketName = "picture-0")
        : socketName_(std::move(socketName)) {
        using namespace std::chrono_literals;
        std::vector<std::string> argv{MIREVO_PICTURE_COMPOSITOR, socketName_};
        argv.insert(argv.end(), options.begin(), options.end());
        process_ = std::make_unique<ChildProcess>(
            argv, std::map<std::string, std::optional<std::string>>{{"XDG_RUNTIME_DIR", runtime_.path()}});
        ready_ = pollUntil(20s, [&] { return process_->output() == "ready\n" || !process_->running(); }) &&
                 process_->running();
    }
    bool ok() const { return ready_; }
    ChildProcess& process() { return *process_; }
    const std::string& runtime() const { return runtime_.path(); }
    const std::string& socketName() const { return socketName_; }
    // What a client of it needs in its environment.
    std::map<std::string, std::optional<std::string>> clientEnvironment() const {
        return {{"XDG_RUNTIME_DIR", runtime_.path()}, {"WAYLAND_DISPLAY", socketName_}, {"DISPLAY", std::nullopt}};
    }
    // The same for this process.
    void becomeClient() const {
        ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        ::setenv("WAYLAND_DISPLAY", socketName_.c_str(), 1);
    }

private:
    TempDir runtime_;
    std::string socketName_;
    std::unique_ptr<ChildProcess> process_;
    bool ready_ = false;
};

} // namespace mirevo::test
