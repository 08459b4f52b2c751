#include "tests/harness/child_process.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/session_bus.h"

extern char** environ;

namespace mirevo::test {

namespace {
std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
} // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv,
                           std::map<std::string, std::optional<std::string>> env) {
    char tmpl[] = "/tmp/mirevo-child-XXXXXX";
    if (mkdtemp(tmpl)) scratch_ = tmpl;
    outPath_ = scratch_ + "/stdout";
    errPath_ = scratch_ + "/stderr";

    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        auto eq = entry.find('=');
        if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    // No session bus unless the test gives one (or, with an empty value, leaves the program to find none).
    if (!env.count("DBUS_SESSION_BUS_ADDRESS")) merged["DBUS_SESSION_BUS_ADDRESS"] = kNoSessionBus;
    for (auto& [name, value] : env) {
        if (value)
            merged[name] = *value;
        else
            merged.erase(name);
    }
    std::vector<std::string> envText;
    for (auto& [name, value] : merged)
        envText.push_back(name + "=" + value);
    std::vector<char*> envp, args;
    for (auto& s : envText)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    for (auto& s : argv)
        args.push_back(s.data());
    args.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
}

ChildProcess::~ChildProcess() {
    terminate();
    if (!scratch_.empty()) {
        unlink(outPath_.c_str());
        unlink(errPath_.c_str());
        rmdir(scratch_.c_str());
    }
}

bool ChildProcess::running() {
    return !waitExit(std::chrono::milliseconds(0)).has_value();
}

std::optional<int> ChildProcess::waitExit(std::chrono::milliseconds timeout) {
    if (status_ || pid_ <= 0) return status_;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return status_;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ChildProcess::terminate() {
    if (pid_ <= 0 || status_) return;
    kill(pid_, SIGTERM);
    if (!waitExit(std::chrono::seconds(1))) {
        kill(pid_, SIGKILL);
        waitExit(std::chrono::seconds(5));
    }
}

std::string ChildProcess::output() const {
    return readFile(outPath_);
}
std::string ChildProcess::errors() const {
    return readFile(errPath_);
}

} // namespace mirevo::test
