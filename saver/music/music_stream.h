#pragma once
// One open music file of the "MPEGVideo" device: played once from a position, stopped where it stands.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

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

class MusicLoader {
public:
    virtual ~MusicLoader() = default;
    struct Result {
        std::unique_ptr<MusicStream> stream;
        int32_t error = 0; // an mci_error code when stream is empty
    };
    virtual Result load(const std::string& path) = 0;
};

} // namespace mirevo
