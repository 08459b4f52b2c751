#pragma once
// The looping sound player the WAV music uses, in the manner of PlaySoundA and waveOutGetNumDevs.
#include <string>

namespace mirevo {

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual int numDevices() = 0; // wave output devices; 0 when there is no sound
    virtual bool
    playLooping(const std::string& file) = 0; // in the background, without a gap; true when started
    virtual bool stop() = 0;                  // silences whatever this player is playing
};

} // namespace mirevo
