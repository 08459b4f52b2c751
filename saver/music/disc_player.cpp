#include "saver/music/disc_player.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace mirevo {
namespace {
constexpr size_t FRAME_BYTES = 4;
}

DiscPlayer::DiscPlayer(std::unique_ptr<DiscReader> reader, PcmOutput& output)
    : reader_(std::move(reader)), output_(output),
      ring_(static_cast<size_t>(BUFFER_SECTORS) * CD_SECTOR_BYTES) {
    worker_ = std::thread([this] { readAhead(); });
}

DiscPlayer::~DiscPlayer() {
    if (attached_) output_.detach(*this);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

std::optional<CdToc> DiscPlayer::readToc() {
    // Read once a disc is there, so the monitor's status queries do not go to the drive every time.
    std::lock_guard<std::mutex> lock(readerMutex_);
    if (!toc_) toc_ = reader_->readToc();
    return toc_;
}

bool DiscPlayer::play(int32_t from, int32_t to) {
    std::unique_lock<std::mutex> lock(mutex_);
    ++generation_;
    startLsn_ = readLsn_ = from;
    endLsn_ = to;
    ringRead_ = ringFill_ = 0;
    playedFrames_ = 0;
    readFailed_ = false;
    active_ = true;
    wake_.notify_all();
    if (attached_) return true;
    // The first output buffer should already hold the disc's sound rather than silence; a drive still
    // spinning up is not waited for long.
    wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return ringFill_ > 0 || readFailed_; });
    lock.unlock();
    if (output_.attach(*this)) {
        attached_ = true;
        return true;
    }
    stop();
    return false;
}

void DiscPlayer::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!active_) return;
    stoppedAt_ = positionLocked();
    active_ = false;
    ++generation_;
    ringRead_ = ringFill_ = 0;
}

bool DiscPlayer::playing() {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_;
}

int32_t DiscPlayer::position() {
    std::lock_guard<std::mutex> lock(mutex_);
    return positionLocked();
}

int32_t DiscPlayer::positionLocked() const {
    if (!active_) return stoppedAt_;
    return startLsn_ + static_cast<int32_t>(playedFrames_ / CD_SAMPLES_PER_SECTOR);
}

void DiscPlayer::mix(int16_t* out, size_t frames) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!active_) return;
        size_t take = std::min(frames, ringFill_ / FRAME_BYTES);
        for (size_t i = 0; i < take * 2; ++i) {
            size_t at = (ringRead_ + i * 2) % ring_.size();
            auto sample = static_cast<int16_t>(ring_[at] | (ring_[(at + 1) % ring_.size()] << 8));
            int sum = out[i] + sample;
            out[i] = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
        }
        ringRead_ = (ringRead_ + take * FRAME_BYTES) % ring_.size();
        ringFill_ -= take * FRAME_BYTES;
        playedFrames_ += take;
        uint64_t total = static_cast<uint64_t>(endLsn_ - startLsn_) * CD_SAMPLES_PER_SECTOR;
        bool dry = ringFill_ == 0 && (readFailed_ || readLsn_ >= endLsn_);
        if (playedFrames_ >= total || dry) {
            stoppedAt_ = playedFrames_ >= total ? endLsn_ : positionLocked();
            active_ = false;
        }
    }
    wake_.notify_all();
}

void DiscPlayer::readAhead() {
    std::vector<uint8_t> chunk(static_cast<size_t>(CHUNK_SECTORS) * CD_SECTOR_BYTES);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this, &chunk] {
            return quit_ || (active_ && !readFailed_ && readLsn_ < endLsn_ &&
                             ringFill_ + chunk.size() <= ring_.size());
        });
        if (quit_) return;
        uint64_t generation = generation_;
        int32_t lsn = readLsn_;
        // A short first read after play puts sound in the buffer sooner.
        int32_t count = std::min(readLsn_ == startLsn_ ? FIRST_CHUNK_SECTORS : CHUNK_SECTORS, endLsn_ - lsn);
        lock.unlock();
        bool ok;
        {
            std::lock_guard<std::mutex> drive(readerMutex_);
            ok = reader_->readSectors(lsn, count, chunk.data());
        }
        lock.lock();
        if (generation != generation_) continue;
        if (!ok) {
            readFailed_ = true;
            continue;
        }
        size_t bytes = static_cast<size_t>(count) * CD_SECTOR_BYTES;
        size_t write = (ringRead_ + ringFill_) % ring_.size();
        size_t first = std::min(bytes, ring_.size() - write);
        std::memcpy(ring_.data() + write, chunk.data(), first);
        std::memcpy(ring_.data(), chunk.data() + first, bytes - first);
        ringFill_ += bytes;
        readLsn_ += count;
        wake_.notify_all();
    }
}

} // namespace mirevo
