#include "saver/session/posix_program.h"

#include <cerrno>
#include <csignal>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace mirevo {
namespace {

// posix_spawn attributes, released whatever happens.
class SpawnAttributes {
public:
    SpawnAttributes() { posix_spawnattr_init(&attributes_); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

} // namespace

bool StartedProgram::start(const std::string& path, const std::vector<std::string>& arguments) {
    // The viewer starts with the signal handling a fresh program has, not the saver's.
    SpawnAttributes attributes;
    sigset_t none, handled;
    sigemptyset(&none);
    sigemptyset(&handled);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
        sigaddset(&handled, signal);
    posix_spawnattr_setsigmask(attributes.get(), &none);
    posix_spawnattr_setsigdefault(attributes.get(), &handled);
    posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), nullptr, attributes.get(), argv.data(), environ) != 0) return false;
    pid_ = pid;
    ended_ = false;
    return true;
}

bool StartedProgram::ended() {
    if (pid_ <= 0 || ended_) return ended_ || pid_ <= 0;
    int status = 0;
    pid_t result = waitpid(pid_, &status, WNOHANG);
    if (result == pid_ || (result < 0 && errno == ECHILD)) ended_ = true;
    return ended_;
}

} // namespace mirevo
