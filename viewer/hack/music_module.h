#pragma once
// The saver's music on the machine's sound output, loaded from the module beside the programs only by the copy
// of the hack that plays: SDL2_mixer, libcdio and the libraries they bring would otherwise be loaded (and
// their symbols bound) by every copy before its first frame.
#include <cstdint>
#include <memory>
#include <string>

#include "common/result.h"
#include "shared/music/music.h"
#include "shared/settings/settings.h"

namespace mirevo::viewer {

// In the program folder.
inline constexpr const char* kMusicModuleFileName = "modules/mirevo-music.so";
// The module's one entry point: makes the music over the settings, as makeMusic does.
inline constexpr const char* kMusicModuleEntry = "mirevo_make_music";
using MakeMusicEntry = void (*)(const Settings* settings, int32_t* lastApiResult, std::unique_ptr<Music>* made);

// The music from the module in programFolder, or why there is none. The module stays loaded for the
// process's life. settings and lastApiResult outlive the music.
Result<std::unique_ptr<Music>, std::string> loadMusic(const std::string& programFolder, const Settings& settings,
                                                      int32_t& lastApiResult);

} // namespace mirevo::viewer
