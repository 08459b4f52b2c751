#include "shared/music/audio_toc.h"

namespace mirevo {
namespace {

// The first sector of a data track that follows the audio: its pregap, or on a real disc the session gap
// or the pregap that the table of contents does not show.
int32_t dataBegins(const DiscLayout& layout, const DiscTrack& data) {
    if (data.pregap && *data.pregap <= data.start) return *data.pregap;
    if (layout.image) return data.start;
    bool laterSession =
        layout.lastSessionStart && *layout.lastSessionStart > 0 && data.start >= *layout.lastSessionStart;
    return data.start - (laterSession ? CD_SESSION_GAP_SECTORS : CD_DATA_PREGAP_SECTORS);
}

} // namespace

std::optional<CdToc> audioToc(const DiscLayout& layout) {
    const auto& tracks = layout.tracks;
    size_t first = 0;
    while (first < tracks.size() && !tracks[first].audio)
        ++first;
    CdToc toc;
    toc.leadout = layout.leadout;
    for (size_t i = first; i < tracks.size(); ++i) {
        const DiscTrack& t = tracks[i];
        if (!t.audio) {
            toc.leadout = dataBegins(layout, t);
            break;
        }
        // A table of contents that contradicts itself keeps the tracks before the contradiction.
        if ((!toc.trackStart.empty() && t.start <= toc.trackStart.back()) || t.start >= layout.leadout) break;
        if (toc.trackStart.empty()) toc.firstTrack = t.number;
        toc.trackStart.push_back(t.start);
    }
    if (toc.trackStart.empty()) return std::nullopt;
    // A gap that would swallow the last audio track leaves it ending where the next track starts.
    size_t next = first + toc.trackStart.size();
    if (toc.leadout <= toc.trackStart.back() && next < tracks.size()) toc.leadout = tracks[next].start;
    if (toc.leadout <= toc.trackStart.back()) toc.leadout = layout.leadout;
    return toc;
}

} // namespace mirevo
