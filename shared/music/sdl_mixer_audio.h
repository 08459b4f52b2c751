#pragma once
// The sound output on SDL2_mixer: MP3 files for the "MPEGVideo" device, the looping WAV player and the CD's
// samples. The device is opened when a player first needs it and released, with everything it plays, when
// this object goes. Files are streamed as they play, whatever their length, through SDL_mixer's one music
// stream: the WAV loop and an "MPEGVideo" file take turns on it (the saver plays one or the other).
#include <memory>
#include <string>

#include "shared/music/music_stream.h"
#include "shared/music/pcm_output.h"
#include "shared/music/sound_player.h"

struct _Mix_Music;

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

    MusicLoad loadMusic(const std::string& path);

    struct MusicFree {
        void operator()(_Mix_Music* music) const;
    };

private:
    bool initSubsystem();
    bool ensureOpen();

    bool subsystem_ = false;
    bool open_ = false;
    bool openFailed_ = false;
    std::unique_ptr<_Mix_Music, MusicFree> loop_; // the WAV playing in a loop
};

} // namespace mirevo
