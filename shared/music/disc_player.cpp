#include "shared/music/disc_player.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace mirevo {
namespace {

constexpr size_t FRAME_BYTES = 4;
constexpr int32_t CHUNK_SECTORS = 15; // 0.2 s a read
constexpr int32_t FIRST_CHUNK_SECTORS = 2;
constexpr int32_t BUFFER_SECTORS = 150; // 2 s ahead

using Clock = std::chrono::steady_clock;

} // namespace

class DiscPlayer::State {
public:
    explicit State(std::unique_ptr<DiscReader> reader)
        : reader_(std::move(reader)), ring_(static_cast<size_t>(BUFFER_SECTORS) * CD_SECTOR_BYTES) {}

    std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
    bool finished = false; // the reader thread has left run()
    bool tocRead = false;  // the first table of contents has been read (or found missing)
    std::optional<CdToc> toc;

    bool active = false;
    bool readFailed = false;
    uint64_t generation = 0; // bumped by play, stop and a changed disc, so a read in flight is dropped
    int32_t startLsn = 0, endLsn = 0, readLsn = 0, stoppedAt = 0;
    uint64_t playedFrames = 0;
    size_t ringRead = 0, ringFill = 0;

    int32_t positionLocked() const {
        if (!active) return stoppedAt;
        return startLsn + static_cast<int32_t>(playedFrames / CD_SAMPLES_PER_SECTOR);
    }

    void halt(int32_t at) {
        stoppedAt = at;
        active = false;
        ++generation;
        ringRead = ringFill = 0;
    }

    void mix(int16_t* out, size_t frames) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!active) return;
        size_t take = std::min(frames, ringFill / FRAME_BYTES);
        for (size_t i = 0; i < take * 2; ++i) {
            size_t at = (ringRead + i * 2) % ring_.size();
            auto sample = static_cast<int16_t>(ring_[at] | (ring_[(at + 1) % ring_.size()] << 8));
            int sum = out[i] + sample;
            out[i] = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
        }
        ringRead = (ringRead + take * FRAME_BYTES) % ring_.size();
        ringFill -= take * FRAME_BYTES;
        playedFrames += take;
        uint64_t total = static_cast<uint64_t>(endLsn - startLsn) * CD_SAMPLES_PER_SECTOR;
        bool dry = ringFill == 0 && (readFailed || readLsn >= endLsn);
        if (playedFrames >= total || dry) {
            stoppedAt = playedFrames >= total ? endLsn : positionLocked();
            active = false;
        }
        wake.notify_all();
    }

    // The reader thread.
    void run() {
        std::optional<CdToc> first = reader_->readToc();
        std::unique_lock<std::mutex> lock(mutex);
        toc = first;
        tocRead = true;
        wake.notify_all();
        std::vector<uint8_t> chunk(static_cast<size_t>(CHUNK_SECTORS) * CD_SECTOR_BYTES);
        auto readWanted = [&] {
            return active && !readFailed && readLsn < endLsn && ringFill + chunk.size() <= ring_.size();
        };
        auto nextCheck = Clock::now() + CHANGE_CHECK;
        for (;;) {
            wake.wait_until(lock, nextCheck, [&] { return quit || readWanted(); });
            if (quit) break;
            if (Clock::now() >= nextCheck) {
                lock.unlock();
                auto fresh = contentsIfChanged();
                lock.lock();
                if (fresh) publish(*fresh);
                nextCheck = Clock::now() + CHANGE_CHECK;
                continue;
            }
            uint64_t asked = generation;
            int32_t lsn = readLsn;
            // A short first read after play puts sound in the buffer sooner.
            int32_t count = std::min(readLsn == startLsn ? FIRST_CHUNK_SECTORS : CHUNK_SECTORS, endLsn - lsn);
            lock.unlock();
            bool ok = reader_->readSectors(lsn, count, chunk.data());
            // A read that fails may be a disc taken out: then what was known of it goes.
            std::optional<std::optional<CdToc>> fresh;
            if (!ok) fresh = contentsIfChanged();
            lock.lock();
            if (fresh) publish(*fresh);
            if (asked != generation) continue;
            if (!ok) {
                readFailed = true;
                wake.notify_all();
                continue;
            }
            size_t bytes = static_cast<size_t>(count) * CD_SECTOR_BYTES;
            size_t write = (ringRead + ringFill) % ring_.size();
            size_t part = std::min(bytes, ring_.size() - write);
            std::memcpy(ring_.data() + write, chunk.data(), part);
            std::memcpy(ring_.data(), chunk.data() + part, bytes - part);
            ringFill += bytes;
            readLsn += count;
            wake.notify_all();
        }
        finished = true;
        wake.notify_all();
    }

private:
    // The disc's contents read afresh when the drive says it has changed; nothing when it has not.
    std::optional<std::optional<CdToc>> contentsIfChanged() {
        if (!reader_->discChanged()) return std::nullopt;
        return reader_->readToc();
    }

    void publish(const std::optional<CdToc>& fresh) {
        if (fresh == toc) return;
        toc = fresh;
        if (active) halt(0);
        stoppedAt = 0;
        wake.notify_all();
    }

    std::unique_ptr<DiscReader> reader_; // used by the reader thread only
    std::vector<uint8_t> ring_;
};

DiscPlayer::DiscPlayer(std::unique_ptr<DiscReader> reader, PcmOutput& output)
    : state_(std::make_shared<State>(std::move(reader))), output_(output) {
    worker_ = std::thread([state = state_] { state->run(); });
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->wake.wait_for(lock, FIRST_TOC_WAIT, [this] { return state_->tocRead; });
}

DiscPlayer::~DiscPlayer() {
    if (attached_) output_.detach(*this);
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->quit = true;
    state_->wake.notify_all();
    bool ended = state_->wake.wait_for(lock, CLOSE_WAIT, [this] { return state_->finished; });
    lock.unlock();
    if (ended)
        worker_.join();
    else
        worker_.detach();
}

std::optional<CdToc> DiscPlayer::readToc() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->toc;
}

bool DiscPlayer::play(int32_t from, int32_t to) {
    State& s = *state_;
    std::unique_lock<std::mutex> lock(s.mutex);
    ++s.generation;
    s.startLsn = s.readLsn = from;
    s.endLsn = to;
    s.ringRead = s.ringFill = 0;
    s.playedFrames = 0;
    s.readFailed = false;
    s.active = true;
    s.wake.notify_all();
    if (attached_) return true;
    // The first output buffer should already hold the disc's sound rather than silence; a drive still
    // spinning up is not waited for long.
    s.wake.wait_for(lock, std::chrono::milliseconds(100), [&s] { return s.ringFill > 0 || s.readFailed; });
    lock.unlock();
    if (output_.attach(*this)) {
        attached_ = true;
        return true;
    }
    stop();
    return false;
}

void DiscPlayer::stop() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->active) state_->halt(state_->positionLocked());
}

bool DiscPlayer::playing() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->active;
}

int32_t DiscPlayer::position() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->positionLocked();
}

void DiscPlayer::mix(int16_t* out, size_t frames) {
    state_->mix(out, frames);
}

} // namespace mirevo
