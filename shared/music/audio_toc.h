#pragma once
// The part of a disc the "cdaudio" device plays: its audio tracks. A data track is never read as sound,
// so the table of contents holds the first run of consecutive audio tracks (all of them on an audio CD,
// tracks 2 on on a mixed-mode disc whose data comes first, all but the last on an enhanced CD), numbered as
// on the disc, and ends where the data begins.
#include <cstdint>
#include <optional>
#include <vector>

#include "shared/music/cd_drive.h"

namespace mirevo {

struct DiscTrack {
    int number = 0;
    int32_t start = 0;             // LSN of the track's index 1
    std::optional<int32_t> pregap; // LSN of its index 0 where the disc says (images do)
    bool audio = true;
};

struct DiscLayout {
    std::vector<DiscTrack> tracks; // in disc order
    int32_t leadout = 0;
    // Where the disc's last session starts, for a drive that reports more than one.
    std::optional<int32_t> lastSessionStart;
    bool image = false; // a .cue image: only the sectors it lists exist
};

// Between the audio session and the data session of an enhanced CD: lead-out, lead-in and pregap.
constexpr int32_t CD_SESSION_GAP_SECTORS = 11400;
// The pregap a data track after an audio track has on a pressed or burned disc.
constexpr int32_t CD_DATA_PREGAP_SECTORS = 150;

// Nothing when the disc has no audio track.
std::optional<CdToc> audioToc(const DiscLayout& layout);

} // namespace mirevo
