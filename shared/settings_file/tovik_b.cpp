#include "shared/settings_file/tovik_b.h"

#include <limits>
#include <optional>

#include "common/program_names.h"
#include "shared/settings/decimal_number.h"
#include "shared/settings_file/profile_file.h"
#include "shared/settings_file/settings_location.h"

namespace mirevo {
namespace {

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
std::string cutText(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

// A settings number: decimal, rounded down, within signed 16 bits. Anything else keeps the previous value.
void loadNumber(int16_t& setting, const std::string& value) {
    if (value.empty()) {
        setting = 0;
        return;
    }
    const auto number = readDecimal(value);
    if (!number) return;
    const auto whole = roundDown(*number);
    if (!whole || *whole < std::numeric_limits<int16_t>::min() ||
        *whole > std::numeric_limits<int16_t>::max())
        return;
    setting = static_cast<int16_t>(*whole);
}

} // namespace

std::string Ini_Read(const std::string& section, const std::string& key, const std::string& path) {
    const auto value = readProfileString(path, section, key);
    return value ? cutText(*value, kIniValueBuffer - 1) : std::string();
}

void Settings_Load(ProgramState& state, const std::string& programFolder) {
    Settings& settings = state.settings;
    const std::string path = settingsPaths(programFolder).read;
    loadNumber(settings.BgmKind, Ini_Read(kIniSection, kIniKeyBgmKind, path));
    loadNumber(settings.BgmRepeat, Ini_Read(kIniSection, kIniKeyBgmRepeat, path));

    settings.BgmFile = Ini_Read(kIniSection, kIniKeyBgmFile, path);
    // A file that has gone missing plays nothing rather than failing later; the ini keeps its path.
    if (!settings.BgmFile.empty() && !File_Exists(settings.BgmFile)) settings.BgmFile.clear();
    if (settings.BgmFile.empty() && settings.BgmKind == BGM_FILE) settings.BgmKind = BGM_NONE;

    settings.BgmFolder = settings.BgmFile.empty() ? programFolder : Path_Folder(settings.BgmFile);
}

std::string settingsFilePath(const std::string& programFolder) {
    return programFilePath(programFolder, kSettingsFileName);
}

} // namespace mirevo
