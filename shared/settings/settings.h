#pragma once
// The saver program's settings values, the names they are kept under in the settings file, and its
// program-wide last platform result.
#include <cstdint>
#include <string>

namespace mirevo {

// Background-music kinds, as stored under "BGM区分". Any other value plays nothing.
constexpr int16_t BGM_NONE = 0;
constexpr int16_t BGM_CD = 1;
constexpr int16_t BGM_FILE = 2;

// The settings file's section and key names.
inline constexpr const char* kIniSection = "Section";
inline constexpr const char* kIniKeyBgmKind = "BGM区分";
inline constexpr const char* kIniKeyBgmRepeat = "BGMﾘﾋﾟｰﾄ";
inline constexpr const char* kIniKeyBgmFile = "BGMﾌｧｲﾙ";

struct Settings {
    int16_t BgmKind = BGM_NONE;
    int16_t BgmRepeat = 0; // audio CD track to repeat, 0 = play the whole disc again when it stops
    std::string BgmFile;   // full path of the MP3 or WAV file, empty when none
    std::string BgmFolder; // folder of BgmFile, or the program folder; where the file chooser opens
};

// One per process: the settings and the slot that receives the result of most platform calls.
struct ProgramState {
    Settings settings;
    int32_t LastApiResult = 0;
};

} // namespace mirevo
