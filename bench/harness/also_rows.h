#pragma once
// What two benchmarks of the hack share on their command line: --also LABEL=PATH puts another build's program
// beside ours, --also-env LABEL=VAR=VALUE gives a row a variable of its own (the same label again adds to that
// row's environment); and the load average printed beside their tables.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mirevo::test {

struct AlsoRow {
    std::string label;
    std::string path; // empty: our own program
    std::map<std::string, std::optional<std::string>> extra;
};

// Adds one option's value (option is "--also" or "--also-env"); false when the value is malformed.
inline bool addAlsoRow(std::vector<AlsoRow>& rows, const std::string& option, const std::string& value) {
    const auto equals = value.find('=');
    if (equals == std::string::npos) return false;
    AlsoRow row{value.substr(0, equals), {}, {}};
    const std::string rest = value.substr(equals + 1);
    if (option == "--also") {
        row.path = rest;
    } else {
        const auto second = rest.find('=');
        if (second == std::string::npos) return false;
        row.extra[rest.substr(0, second)] = rest.substr(second + 1);
        for (AlsoRow& known : rows) {
            if (known.label == row.label) {
                known.extra.insert(row.extra.begin(), row.extra.end());
                return true;
            }
        }
    }
    rows.push_back(std::move(row));
    return true;
}

// The options both benchmarks take at argv[i]: --runs N and the rows above. Nothing when argv[i] is another
// option; otherwise whether it was well formed (i is then past its value).
inline std::optional<bool> takeSharedOption(int argc, char** argv, int& i, int& runs, std::vector<AlsoRow>& also) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return std::nullopt;
    if (arg == "--runs") {
        runs = std::max(1, std::atoi(argv[++i]));
        return true;
    }
    if (arg == "--also" || arg == "--also-env") return addAlsoRow(also, arg, argv[++i]);
    return std::nullopt;
}

inline std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

} // namespace mirevo::test
