#pragma once
// Plays a CD digitally. A reader thread does everything that goes to the drive: it reads the table of
// contents, reads the disc ahead into a buffer and looks out for a disc taken out or changed. The audio
// thread takes its samples from the buffer and the user-interface thread answers from what the reader
// has published, so neither ever waits for the drive.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

#include "shared/music/cd_drive.h"
#include "shared/music/pcm_output.h"

namespace mirevo {

class DiscReader {
public:
    virtual ~DiscReader() = default;
    // Reads the disc's contents afresh from the drive; nothing when there is no disc with audio on it.
    virtual std::optional<CdToc> readToc() = 0;
    // count raw audio sectors (little-endian 16-bit stereo) from lsn into out.
    virtual bool readSectors(int32_t lsn, int32_t count, uint8_t* out) = 0;
    // True once the disc has been taken out or replaced since the contents were last read.
    virtual bool discChanged() { return false; }
};

class DiscPlayer final : public CdDrive, public PcmSource {
public:
    // Waits for the disc's contents for up to FIRST_TOC_WAIT: a drive still spinning up counts as no disc.
    DiscPlayer(std::unique_ptr<DiscReader> reader, PcmOutput& output);
    // Waits at most CLOSE_WAIT for a read in progress; a reader stuck in a failing drive is left to end
    // on its own.
    ~DiscPlayer() override;
    DiscPlayer(const DiscPlayer&) = delete;
    DiscPlayer& operator=(const DiscPlayer&) = delete;

    std::optional<CdToc> readToc() override;
    bool play(int32_t from, int32_t to) override;
    void stop() override;
    bool playing() override;
    int32_t position() override;
    void mix(int16_t* out, size_t frames) override;

    static constexpr std::chrono::milliseconds FIRST_TOC_WAIT{3000};
    static constexpr std::chrono::milliseconds CLOSE_WAIT{1000};
    static constexpr std::chrono::milliseconds CHANGE_CHECK{1000}; // how often the drive is asked

private:
    class State; // all the reader thread touches, kept alive by it as long as it runs
    std::shared_ptr<State> state_;
    PcmOutput& output_;
    bool attached_ = false;
    std::thread worker_;
};

} // namespace mirevo
