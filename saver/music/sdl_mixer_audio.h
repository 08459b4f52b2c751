#pragma once
// The sound output on SDL2_mixer: MP3 files for the "MPEGVideo" device, the looping WAV player and the CD's
// samples. The device is opened when a player first needs it and released, with everything it plays, when
// this object goes.
#include <memory>
#include <string>

#include "saver/music/music_stream.h"
#include "saver/music/pcm_output.h"
#include "saver/music/sound_player.h"

struct Mix_Chunk;

namespace mirevo {

class SdlMixerAudio final : public SoundPlayer, public PcmOutput {
public:
    SdlMixerAudio() = default;
    ~SdlMixerAudio() override;
    SdlMixerAudio(const SdlMixerAudio&) = delete;
    SdlMixerAudio& operator=(const SdlMixerAudio&) = delete;

    int numDevices() override;
    bool playLooping(const std::string& file) override;
    bool stop() override;

    bool attach(PcmSource& source) override;
    void detach(PcmSource& source) override;

    MusicLoader::Result loadMusic(const std::string& path);

private:
    bool initSubsystem();
    bool ensureOpen();

    struct ChunkFree {
        void operator()(Mix_Chunk* chunk) const;
    };
    bool subsystem_ = false;
    bool open_ = false;
    bool openFailed_ = false;
    std::unique_ptr<Mix_Chunk, ChunkFree> loop_;
};

} // namespace mirevo
