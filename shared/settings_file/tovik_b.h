#pragma once
// The shared procedures of the start-up module Tovik_B that read and write the settings file: ini access and
// the settings. Its path procedures (File_Exists, Path_Folder) are everyone's, in common/posix/paths.h.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/posix/paths.h"
#include "shared/settings/settings.h"

namespace mirevo {

// Room for one ini value, like a path buffer of the platform (PATH_MAX): values read back hold at most
// kIniValueBuffer - 1 bytes, so any path the platform accepts survives a write and a read.
inline constexpr std::size_t kIniValueBuffer = 4096;

// One value of the ini file; empty when the file, section or key is missing. A longer value comes back cut
// to kIniValueBuffer - 1 bytes (at a character boundary).
std::string Ini_Read(const std::string& section, const std::string& key, const std::string& path);

// Fills the settings from the settings file settingsPaths(programFolder) reads.
void Settings_Load(ProgramState& state, const std::string& programFolder);

// programFolder + "/Mirevo.ini".
std::string settingsFilePath(const std::string& programFolder);

} // namespace mirevo
