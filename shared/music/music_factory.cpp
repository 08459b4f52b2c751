// The music module on the machine's sound output: our MCI interpreter over SDL2_mixer and libcdio.
#include <cstdlib>

#include "shared/music/cdio_disc.h"
#include "shared/music/mci_interpreter.h"
#include "shared/music/music.h"
#include "shared/music/sdl_mixer_audio.h"
#include "shared/music/tovik_bgm.h"

namespace mirevo {
namespace {

class SystemMusic final : public Music {
public:
    SystemMusic(const Settings& settings, int32_t& lastApiResult)
        : mci_(MciBackends{[this]() -> std::unique_ptr<CdDrive> {
                               auto disc = openCdioDisc(std::getenv("MIREVO_CD_DEVICE"));
                               if (!disc) return nullptr;
                               return std::make_unique<DiscPlayer>(std::move(disc), audio_);
                           },
                           [this](const std::string& path) { return audio_.loadMusic(path); }}),
          bgm_(settings, lastApiResult, mci_, audio_) {}

    void CD_Open() override { bgm_.CD_Open(); }
    void CD_Check() override { bgm_.CD_Check(); }
    bool CdActive() const override { return bgm_.CdActive(); }
    void CD_Close() override { bgm_.CD_Close(); }
    void MP3_Play() override { bgm_.MP3_Play(); }
    void MP3_Repeat() override { bgm_.MP3_Repeat(); }
    void MP3_Close() override { bgm_.MP3_Close(); }
    void WAV_Play() override { bgm_.WAV_Play(); }
    void WAV_Stop() override { bgm_.WAV_Stop(); }

private:
    // Declared in this order so the devices close before the sound output they play through.
    SdlMixerAudio audio_;
    MciInterpreter mci_;
    TovikBgm bgm_;
};

} // namespace

std::unique_ptr<Music> makeMusic(const Settings& settings, int32_t& lastApiResult) {
    return std::make_unique<SystemMusic>(settings, lastApiResult);
}

} // namespace mirevo
