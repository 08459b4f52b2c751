#pragma once
// Permission checks that root passes whatever the mode (CI runs as root): the check runs in a child process
// that has become the user nobody, and reports back through its exit code.
#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace mirevo::test {

// Gives path (a file or a folder the test made) to nobody, so that nobody's own permissions decide.
inline bool giveToNobody(const std::string& path) {
    const passwd* user = ::getpwnam("nobody");
    return user && ::chown(path.c_str(), user->pw_uid, user->pw_gid) == 0;
}

// True when check, run as nobody, returned true; false when it returned false or nobody could not be had.
inline bool trueAsNobody(const std::function<bool()>& check) {
    const passwd* user = ::getpwnam("nobody");
    if (!user) return false;
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace mirevo::test
