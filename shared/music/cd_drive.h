#pragma once
// What the "cdaudio" device needs from a CD drive: the disc's table of contents and a digital player that
// runs from one sector to another through the sound output. Sectors are logical sector numbers (LSN).
#include <cstdint>
#include <optional>
#include <vector>

namespace mirevo {

constexpr int32_t CD_FRAMES_PER_SECOND = 75; // one sector is one frame of 1/75 s
constexpr int32_t CD_SECTOR_BYTES = 2352;
constexpr int32_t CD_SAMPLES_PER_SECTOR = 588; // stereo sample frames at 44.1 kHz

struct CdToc {
    int firstTrack = 1;
    std::vector<int32_t> trackStart; // LSN of each track's start, firstTrack first
    int32_t leadout = 0;             // LSN just past the last track
    int lastTrack() const { return firstTrack + static_cast<int>(trackStart.size()) - 1; }
    bool operator==(const CdToc& o) const {
        return firstTrack == o.firstTrack && trackStart == o.trackStart && leadout == o.leadout;
    }
};

class CdDrive {
public:
    virtual ~CdDrive() = default;
    virtual std::optional<CdToc> readToc() = 0; // nothing when there is no disc
    // Plays [from, to). False when the sound output cannot be opened.
    virtual bool play(int32_t from, int32_t to) = 0;
    virtual void stop() = 0;
    virtual bool playing() = 0;     // false once the end is reached, after stop, or when the disc fails
    virtual int32_t position() = 0; // the sector being heard, or where playback stood
};

} // namespace mirevo
