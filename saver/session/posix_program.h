#pragma once
// Starting the viewer as a child process and noticing when it has ended.
#include <string>
#include <vector>

#include <sys/types.h>

namespace mirevo {

class StartedProgram {
public:
    StartedProgram() = default;
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    // Runs the file directly with the arguments and this process's environment: no shell, so blanks or
    // quotes in the path are harmless. False when it could not be started.
    bool start(const std::string& path, const std::vector<std::string>& arguments = {});
    // True once the program has exited; its status is collected so that no zombie is left.
    bool ended();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool ended_ = false;
};

} // namespace mirevo
