#include "saver/settings_dialog/home_page.h"

#include <filesystem>

namespace mirevo {

namespace fs = std::filesystem;

std::string homePageAddress(const std::string& configured, const std::string& programFolder,
                            const std::string& docFromPrograms,
                            const std::function<std::string(const std::string&)>& realFile) {
    if (!configured.empty()) return configured;
    const fs::path folder(programFolder);
    const std::string installed = (folder / docFromPrograms / "README.md").lexically_normal().string();
    for (const std::string& candidate : {(folder / "README.md").string(), installed, std::string(kPackagedReadme)})
        if (const std::string found = realFile(candidate); !found.empty()) return "file://" + found;
    return "file://" + installed;
}

std::string homePageAddressOnDisk(const std::string& configured, const std::string& programFolder,
                                  const std::string& docFromPrograms) {
    return homePageAddress(configured, programFolder, docFromPrograms, [](const std::string& path) {
        std::error_code error;
        const fs::path real = fs::canonical(path, error);
        return !error && fs::is_regular_file(real, error) ? real.string() : std::string();
    });
}

} // namespace mirevo
