#include "shared/music/music_plan.h"

#include <cctype>

namespace mirevo {

std::string musicFileEnding(const std::string& bgmFile) {
    std::string ending = bgmFile.size() >= 3 ? bgmFile.substr(bgmFile.size() - 3) : bgmFile;
    for (char& c : ending)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return ending;
}

MusicKind musicKindOf(const Settings& settings) {
    if (settings.BgmKind == BGM_CD) return MusicKind::Cd;
    if (settings.BgmKind != BGM_FILE) return MusicKind::None;
    const std::string ending = musicFileEnding(settings.BgmFile);
    if (ending == "WAV") return MusicKind::Wav;
    if (ending == "MP3") return MusicKind::Mp3;
    return MusicKind::None;
}

int monitorIntervalMs(MusicKind kind) {
    return kind == MusicKind::Cd ? kCdMonitorMs : kind == MusicKind::Mp3 ? kMp3RestartMs : 0;
}

void startMusic(Music& music, MusicKind kind) {
    switch (kind) {
    case MusicKind::Cd: music.CD_Open(); break;
    case MusicKind::Wav: music.WAV_Play(); break;
    case MusicKind::Mp3: music.MP3_Play(); break;
    case MusicKind::None: break;
    }
}

bool monitorMusic(Music& music, MusicKind kind) {
    if (kind == MusicKind::Mp3) {
        music.MP3_Repeat();
        return true;
    }
    if (kind == MusicKind::Cd) {
        music.CD_Check();
        return music.CdActive();
    }
    return false;
}

void stopMusic(Music& music, MusicKind kind, bool monitorRunning) {
    switch (kind) {
    case MusicKind::Cd:
        if (monitorRunning) music.CD_Close();
        break;
    case MusicKind::Wav: music.WAV_Stop(); break;
    case MusicKind::Mp3: music.MP3_Close(); break;
    case MusicKind::None: break;
    }
}

} // namespace mirevo
