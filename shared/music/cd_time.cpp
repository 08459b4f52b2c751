#include "shared/music/cd_time.h"

#include <cstdio>
#include <vector>

#include "shared/music/mci_errors.h"
#include "shared/music/mci_parser.h"

namespace mirevo {
namespace {

constexpr int32_t LEAD_IN_FRAMES = 150; // the two seconds before sector 0 that msf counts

// Up to maxFields colon-separated decimal fields, each at most 9 digits.
std::optional<std::vector<int64_t>> splitFields(std::string_view text, size_t maxFields) {
    std::vector<int64_t> fields;
    size_t i = 0;
    for (;;) {
        size_t start = i;
        int64_t value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            if (i - start >= 9) return std::nullopt;
            value = value * 10 + (text[i] - '0');
            ++i;
        }
        if (i == start) return std::nullopt;
        fields.push_back(value);
        if (i == text.size()) break;
        if (text[i] != ':' || fields.size() == maxFields) return std::nullopt;
        ++i;
    }
    return fields;
}

} // namespace

std::optional<CdTimeFormat> parseCdTimeFormat(std::string_view word) {
    std::string w = lowerAscii(word);
    if (w == "tmsf") return CdTimeFormat::Tmsf;
    if (w == "msf") return CdTimeFormat::Msf;
    if (w == "milliseconds" || w == "ms") return CdTimeFormat::Milliseconds;
    return std::nullopt;
}

int cdTrackAt(const CdToc& toc, int32_t lsn) {
    int track = toc.firstTrack;
    for (size_t i = 0; i < toc.trackStart.size(); ++i)
        if (lsn >= toc.trackStart[i]) track = toc.firstTrack + static_cast<int>(i);
    return track;
}

std::string formatCdPosition(const CdToc& toc, int32_t lsn, CdTimeFormat format) {
    char text[48];
    switch (format) {
    case CdTimeFormat::Tmsf: {
        int track = cdTrackAt(toc, lsn);
        int32_t start = toc.trackStart.empty() ? 0 : toc.trackStart[track - toc.firstTrack];
        int32_t offset = lsn > start ? lsn - start : 0;
        std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", track, offset / (60 * CD_FRAMES_PER_SECOND),
                      offset / CD_FRAMES_PER_SECOND % 60, offset % CD_FRAMES_PER_SECOND);
        break;
    }
    case CdTimeFormat::Msf: {
        int32_t frames = lsn + LEAD_IN_FRAMES;
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / (60 * CD_FRAMES_PER_SECOND),
                      frames / CD_FRAMES_PER_SECOND % 60, frames % CD_FRAMES_PER_SECOND);
        break;
    }
    case CdTimeFormat::Milliseconds:
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(lsn) * 1000 / CD_FRAMES_PER_SECOND);
        break;
    }
    return text;
}

CdPositionParse parseCdPosition(const CdToc& toc, std::string_view text, CdTimeFormat format) {
    auto fields = splitFields(text, format == CdTimeFormat::Tmsf ? 4 : format == CdTimeFormat::Msf ? 3 : 1);
    if (!fields) return {0, mci_error::BAD_INTEGER};
    std::vector<int64_t> f = *fields;
    int64_t lsn = 0;
    switch (format) {
    case CdTimeFormat::Tmsf: {
        f.resize(4, 0);
        if (f[0] < toc.firstTrack || f[0] > toc.lastTrack()) return {0, mci_error::OUTOFRANGE};
        lsn = toc.trackStart[f[0] - toc.firstTrack] + (f[1] * 60 + f[2]) * CD_FRAMES_PER_SECOND + f[3];
        break;
    }
    case CdTimeFormat::Msf:
        f.resize(3, 0);
        lsn = (f[0] * 60 + f[1]) * CD_FRAMES_PER_SECOND + f[2] - LEAD_IN_FRAMES;
        break;
    case CdTimeFormat::Milliseconds:
        lsn = f[0] * CD_FRAMES_PER_SECOND / 1000;
        break;
    }
    if (lsn < 0 || lsn > toc.leadout) return {0, mci_error::OUTOFRANGE};
    return {static_cast<int32_t>(lsn), 0};
}

} // namespace mirevo
