#pragma once
// Starting a program (the viewer, or mirevo-idle's session) as a child process, noticing when it has ended,
// and ending it on request.
#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

namespace mirevo {

// What a child gets beyond this process's environment: variables set ("NAME=value") and one descriptor it
// inherits under its own number (every other descriptor of ours closes on exec).
struct ChildExtras {
    std::vector<std::string> environment;
    int inherited = -1;
};

class StartedProgram {
public:
    // How long a program asked to end may take before it is killed, and how long its end is then awaited.
    static constexpr std::chrono::milliseconds kEndGrace{1000};

    // A program still running when this goes is left running (mirevo-idle's sessions outlive it).
    StartedProgram() = default;
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    // Runs the file directly with the arguments and this process's environment: no shell, so blanks or
    // quotes in the path are harmless. False when it could not be started.
    bool start(const std::string& path, const std::vector<std::string>& arguments = {},
               const ChildExtras& extras = {});
    // True once the program has exited; its status is collected so that no zombie is left.
    bool ended();
    // Asks a program still running to end (SIGTERM), kills it (SIGKILL) if it is still there kEndGrace later,
    // and collects it. Returns at most about twice kEndGrace later, even for a process that cannot die yet.
    void end();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool ended_ = false;
};

} // namespace mirevo
