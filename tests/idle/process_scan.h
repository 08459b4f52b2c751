#pragma once
// The processes a test looks for, by what /proc says of them: the program file they run, a word of their
// command line, a variable of their environment. Root reads every process's; others read their own.
#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace mirevo::test {

// The ids of the processes for which match(pid folder) holds; zombies are left out.
inline std::vector<pid_t> processesWhere(const std::function<bool(const std::string&)>& match) {
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (!proc) return found;
    while (const dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        const std::string folder = std::string("/proc/") + entry->d_name;
        std::ifstream stat(folder + "/stat");
        std::string pid, comm, state;
        stat >> pid >> comm >> state;
        if (state == "Z" || state.empty()) continue;
        if (match(folder)) found.push_back(pid_t(std::stol(entry->d_name)));
    }
    ::closedir(proc);
    return found;
}

inline std::string procFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Processes running that program file.
inline std::vector<pid_t> processesRunning(const std::string& program) {
    return processesWhere([&](const std::string& folder) {
        char target[4096];
        const ssize_t n = ::readlink((folder + "/exe").c_str(), target, sizeof target - 1);
        return n > 0 && std::string(target, size_t(n)) == program;
    });
}

// Processes whose command line holds that word (an argument as a whole).
inline std::vector<pid_t> processesWithArgument(const std::string& word) {
    return processesWhere([&](const std::string& folder) {
        const std::string line = '\0' + procFile(folder + "/cmdline");
        return line.find('\0' + word + '\0') != std::string::npos;
    });
}

// Processes whose environment holds NAME=value.
inline std::vector<pid_t> processesWithVariable(const std::string& assignment) {
    return processesWhere([&](const std::string& folder) {
        const std::string environment = '\0' + procFile(folder + "/environ");
        return environment.find('\0' + assignment + '\0') != std::string::npos;
    });
}

} // namespace mirevo::test
