#include "idle/daemon/saver_location.h"

#include <filesystem>

#include "common/program_names.h"

namespace mirevo {

std::vector<std::string> saverCandidates(const std::string& ownFolder) {
    const std::filesystem::path folder(ownFolder);
    return {(folder / kSaverFileName).lexically_normal().string(),
            (folder / ".." / kInstallProgramFolder / kSaverFileName).lexically_normal().string()};
}

std::optional<std::string> findSaverProgram(const std::string& ownFolder,
                                            const std::function<bool(const std::string&)>& isProgram) {
    for (const std::string& candidate : saverCandidates(ownFolder))
        if (isProgram(candidate)) return candidate;
    return std::nullopt;
}

} // namespace mirevo
