#pragma once
// Plays a CD digitally: a worker thread reads the disc ahead into a buffer, and the audio thread takes its
// samples from there, so playback never waits for the drive.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "saver/music/cd_drive.h"
#include "saver/music/pcm_output.h"

namespace mirevo {

class DiscReader {
public:
    virtual ~DiscReader() = default;
    virtual std::optional<CdToc> readToc() = 0;
    // count raw audio sectors (little-endian 16-bit stereo) from lsn into out.
    virtual bool readSectors(int32_t lsn, int32_t count, uint8_t* out) = 0;
};

class DiscPlayer final : public CdDrive, public PcmSource {
public:
    DiscPlayer(std::unique_ptr<DiscReader> reader, PcmOutput& output);
    ~DiscPlayer() override;
    DiscPlayer(const DiscPlayer&) = delete;
    DiscPlayer& operator=(const DiscPlayer&) = delete;

    std::optional<CdToc> readToc() override;
    bool play(int32_t from, int32_t to) override;
    void stop() override;
    bool playing() override;
    int32_t position() override;
    void mix(int16_t* out, size_t frames) override;

private:
    static constexpr int32_t CHUNK_SECTORS = 15; // 0.2 s a read
    static constexpr int32_t FIRST_CHUNK_SECTORS = 2;
    static constexpr int32_t BUFFER_SECTORS = 150; // 2 s ahead

    void readAhead();
    int32_t positionLocked() const;

    std::unique_ptr<DiscReader> reader_;
    PcmOutput& output_;
    bool attached_ = false;

    std::mutex readerMutex_; // the drive is used by one thread at a time
    std::optional<CdToc> toc_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    bool active_ = false;
    bool readFailed_ = false;
    uint64_t generation_ = 0; // bumped by play and stop so a read in flight is dropped
    int32_t startLsn_ = 0, endLsn_ = 0, readLsn_ = 0, stoppedAt_ = 0;
    uint64_t playedFrames_ = 0;
    std::vector<uint8_t> ring_;
    size_t ringRead_ = 0, ringFill_ = 0;
    std::thread worker_;
};

} // namespace mirevo
