#pragma once
// One open music file of the "MPEGVideo" device: played once from a position, stopped where it stands.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/result.h"

namespace mirevo {

class MusicStream {
public:
    virtual ~MusicStream() = default;
    // Plays from fromMs, or on from where it stopped when fromMs is empty. False when nothing started.
    virtual bool play(std::optional<int64_t> fromMs) = 0;
    virtual void stop() = 0;
    virtual bool playing() = 0;
    virtual int64_t positionMs() = 0;
    virtual int64_t lengthMs() = 0;
};

// A loaded file's stream, or the mci_error code that says why there is none.
using MusicLoad = Result<std::unique_ptr<MusicStream>, int32_t>;

} // namespace mirevo
