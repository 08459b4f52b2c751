#include "tests/harness/xvfb.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mirevo::test {

Xvfb::Xvfb(int width, int height, int screens, std::vector<std::string> extraArguments) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    std::string geometry = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // Made before the fork: the child only fills in the descriptor's number.
    char fdText[16] = "";
    std::vector<std::string> arguments{"-noreset", "-nolisten", "tcp"};
    for (int screen = 0; screen < screens; ++screen)
        arguments.insert(arguments.end(), {"-screen", std::to_string(screen), geometry});
    arguments.insert(arguments.end(), {"+extension", "GLX", "+extension", "RANDR"});
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    std::vector<char*> argv{const_cast<char*>("Xvfb"), const_cast<char*>("-displayfd"), fdText};
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        // The write end must survive exec: -displayfd names it.
        std::snprintf(fdText, sizeof fdText, "%d", dup(fds[1]));
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        setpgid(0, 0);
        // -noreset: the server would otherwise reset when its last client leaves, losing the root picture.
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    std::string number;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0) break;
        if (c == '\n') {
            display_ = ":" + number;
            break;
        }
        number += c;
    }
    close(fds[0]);
    if (display_.empty()) std::fprintf(stderr, "Xvfb did not start\n");
}

Xvfb::~Xvfb() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        usleep(10000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

} // namespace mirevo::test
