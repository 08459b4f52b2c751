#pragma once
// What the chosen music asks for, the same wherever it plays (the saver's session, a saver manager's hack):
// which kind plays, how it starts and stops, and how often its monitor looks at it.
#include <string>

#include "shared/music/music.h"
#include "shared/settings/settings.h"

namespace mirevo {

enum class MusicKind { None, Cd, Wav, Mp3 };

// The upper-cased last three characters of the music file's name: "WAV", "MP3", or anything else.
std::string musicFileEnding(const std::string& bgmFile);

// The disc for BGM_CD; for BGM_FILE the file by its ending (any case), nothing for another ending; nothing for
// any other kind.
MusicKind musicKindOf(const Settings& settings);

// How often the monitor looks, in milliseconds: an MP3 that has ended is started again; the CD is kept
// playing (or its one track repeated).
inline constexpr int kMp3RestartMs = 1000;
inline constexpr int kCdMonitorMs = 200;

// 0 for a kind that needs no monitor.
int monitorIntervalMs(MusicKind kind);

// Opens the disc, loops the WAV or plays the MP3.
void startMusic(Music& music, MusicKind kind);
// One look of the monitor; false once it is no longer needed (the disc has stopped for good).
bool monitorMusic(Music& music, MusicKind kind);
// Stops what startMusic started. A disc whose monitor ended was left as it stopped, and is not closed.
void stopMusic(Music& music, MusicKind kind, bool monitorRunning);

} // namespace mirevo
