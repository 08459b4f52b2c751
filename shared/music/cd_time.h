#pragma once
// Positions of the "cdaudio" device in its time formats: tmsf (track:min:sec:frame within the track),
// msf (min:sec:frame from the start of the disc, lead-in included) and milliseconds from the first sector.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "shared/music/cd_drive.h"

namespace mirevo {

enum class CdTimeFormat { Tmsf, Msf, Milliseconds };

std::optional<CdTimeFormat> parseCdTimeFormat(std::string_view word);

// The track holding a sector: before the first track the first, past the end the last.
int cdTrackAt(const CdToc& toc, int32_t lsn);

std::string formatCdPosition(const CdToc& toc, int32_t lsn, CdTimeFormat format);

// A position as play's from and to take it; an mci_error code when it is not one.
struct CdPositionParse {
    int32_t lsn = 0;
    int32_t error = 0;
};
CdPositionParse parseCdPosition(const CdToc& toc, std::string_view text, CdTimeFormat format);

} // namespace mirevo
