#pragma once
// The programs under test, as the build left them in MIREVO_BIN_DIR.
#include <filesystem>
#include <initializer_list>
#include <string>

namespace mirevo::test {

inline std::string builtProgram(const std::string& name) {
    return std::string(MIREVO_BIN_DIR) + "/" + name;
}

// Copies built programs into another folder (to run them from a path of the test's choosing), runnable by
// us alone; false when one could not be copied.
inline bool copyPrograms(const std::string& folder, std::initializer_list<const char*> names) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (const char* name : names) {
        const fs::path copy = fs::path(folder) / name;
        if (!fs::copy_file(builtProgram(name), copy, fs::copy_options::overwrite_existing, error))
            return false;
        fs::permissions(copy, fs::perms::owner_all, error);
        if (error) return false;
    }
    return true;
}

} // namespace mirevo::test
