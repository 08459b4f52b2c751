#include "common/posix/posix_program.h"

#include <cerrno>
#include <csignal>

#include <thread>

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

bool endsWithin(StartedProgram& program, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!program.ended()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// posix_spawn file actions, released whatever happens.
class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

// This process's environment with the extras' variables set over it.
std::vector<std::string> childEnvironment(const std::vector<std::string>& extras) {
    std::vector<std::string> all;
    for (char** variable = environ; *variable; ++variable) {
        const std::string entry = *variable;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& extra : extras)
            replaced = replaced || extra.rfind(name, 0) == 0;
        if (!replaced) all.push_back(entry);
    }
    all.insert(all.end(), extras.begin(), extras.end());
    return all;
}

} // namespace

bool StartedProgram::start(const std::string& path, const std::vector<std::string>& arguments,
                           const ChildExtras& extras) {
    // The viewer starts with the signal handling a fresh program has, not the saver's.
    SpawnAttributes attributes;
    SpawnActions actions;
    // A descriptor given to itself loses its close-on-exec flag in the child alone.
    if (extras.inherited >= 0) posix_spawn_file_actions_adddup2(actions.get(), extras.inherited, extras.inherited);
    std::vector<std::string> environment = childEnvironment(extras.environment);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
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
    if (posix_spawn(&pid, path.c_str(), actions.get(), attributes.get(), argv.data(), envp.data()) != 0) return false;
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

void StartedProgram::end() {
    if (ended()) return;
    ::kill(pid_, SIGTERM);
    if (endsWithin(*this, kEndGrace)) return;
    ::kill(pid_, SIGKILL);
    // A process stuck in the kernel (a drive that does not answer) dies only when it comes back; the system
    // collects it then, after we are gone.
    endsWithin(*this, kEndGrace);
}

} // namespace mirevo
