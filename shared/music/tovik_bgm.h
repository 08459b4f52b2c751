#pragma once
// The music module Tovik_BGM: the command channel (MCI_Send, MCI_Query, MCI_Play), the audio CD player with
// its monitor, the MP3 player with its restart and the looping WAV player, over an Mci and a SoundPlayer.
#include <cstdint>
#include <string>

#include "shared/music/mci.h"
#include "shared/music/music.h"
#include "shared/music/sound_player.h"

namespace mirevo {

class TovikBgm final : public Music {
public:
    // settings, lastApiResult, mci and sound outlive this object.
    TovikBgm(const Settings& settings, int32_t& lastApiResult, Mci& mci, SoundPlayer& sound);

    int32_t MCI_Send(const std::string& command, std::string& reply);
    std::string MCI_Query(const std::string& command);
    int32_t MCI_Play(const std::string& device, const std::string& from, const std::string& to);
    const std::string& replyText() const { return replyText_; }

    void CD_Open() override;
    void CD_Check() override;
    bool CdActive() const override { return cdActive_; }
    void CD_Close() override;
    void MP3_Play() override;
    bool MP3_IsPlaying();
    void MP3_Repeat() override;
    void MP3_Close() override;
    void WAV_Play() override;
    void WAV_Stop() override;

private:
    int32_t plainSend(const std::string& command) { return mci_.sendString(command, nullptr, 0); }

    const Settings& settings_;
    int32_t& lastApiResult_;
    Mci& mci_;
    SoundPlayer& sound_;
    std::string replyText_;
    char replyBuffer_[512] = {};
    char errorBuffer_[256] = {};
    char cdModeBuffer_[255] = {};
    char mp3ModeBuffer_[30] = {};
    bool cdActive_ = false;
};

} // namespace mirevo
