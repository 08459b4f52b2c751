#pragma once
// A sound source mixed into the output as 16-bit stereo at 44.1 kHz, the form of CD audio.
#include <cstddef>
#include <cstdint>

namespace mirevo {

class PcmSource {
public:
    virtual ~PcmSource() = default;
    // Adds frames stereo sample frames into out. Runs on the audio thread: must not wait for anything slow.
    virtual void mix(int16_t* out, size_t frames) = 0;
};

class PcmOutput {
public:
    virtual ~PcmOutput() = default;
    virtual bool attach(PcmSource& source) = 0; // opens the output if needed; false when it cannot
    virtual void detach(PcmSource& source) = 0; // once it returns, mix is not called any more
};

} // namespace mirevo
