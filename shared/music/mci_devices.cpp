#include "shared/music/mci_devices.h"

#include "shared/music/mci_errors.h"
#include "shared/music/mci_parser.h"

namespace mirevo {
namespace {

std::string joinedLower(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& w : words) {
        if (!out.empty()) out += ' ';
        out += lowerAscii(w);
    }
    return out;
}

} // namespace

CdAudioDevice::CdAudioDevice(std::unique_ptr<CdDrive> drive) : drive_(std::move(drive)) {}

CdAudioDevice::~CdAudioDevice() {
    drive_->stop();
}

int32_t CdAudioDevice::setTimeFormat(const std::string& format) {
    auto f = parseCdTimeFormat(format);
    if (!f) return mci_error::BAD_TIME_FORMAT;
    format_ = *f;
    return 0;
}

int32_t CdAudioDevice::status(const std::vector<std::string>& item, std::string& reply) {
    std::string what = joinedLower(item);
    if (what.empty()) return mci_error::MISSING_PARAMETER;
    auto toc = drive_->readToc();
    if (what == "mode") {
        reply = !toc ? "not ready" : drive_->playing() ? "playing" : "stopped";
        return 0;
    }
    bool known = what == "current track" || what == "number of tracks" || what == "position" ||
                 what == "length" || (item.size() == 3 && what.rfind("position track ", 0) == 0);
    if (!known) return mci_error::UNRECOGNIZED_KEYWORD;
    if (!toc || toc->trackStart.empty()) return mci_error::DEVICE_NOT_READY;
    if (what == "current track") {
        reply = std::to_string(cdTrackAt(*toc, drive_->position()));
    } else if (what == "number of tracks") {
        reply = std::to_string(toc->trackStart.size());
    } else if (what == "position") {
        reply = formatCdPosition(*toc, drive_->position(), format_);
    } else if (what == "length") {
        reply =
            formatCdPosition(*toc, toc->leadout, format_ == CdTimeFormat::Tmsf ? CdTimeFormat::Msf : format_);
    } else {
        const std::string& number = item[2];
        int64_t track = 0;
        for (char c : number) {
            if (c < '0' || c > '9' || number.size() > 9) return mci_error::BAD_INTEGER;
            track = track * 10 + (c - '0');
        }
        if (track < toc->firstTrack || track > toc->lastTrack()) return mci_error::OUTOFRANGE;
        reply = formatCdPosition(*toc, toc->trackStart[track - toc->firstTrack], format_);
    }
    return 0;
}

int32_t CdAudioDevice::play(const std::optional<std::string>& from, const std::optional<std::string>& to) {
    auto toc = drive_->readToc();
    if (!toc || toc->trackStart.empty()) return mci_error::DEVICE_NOT_READY;
    int32_t start = drive_->position();
    // A disc that has played to its end starts again from its beginning.
    if (start >= toc->leadout || start < toc->trackStart.front()) start = toc->trackStart.front();
    int32_t end = toc->leadout;
    if (from) {
        auto p = parseCdPosition(*toc, *from, format_);
        if (p.error) return p.error;
        start = p.lsn;
    }
    if (to) {
        auto p = parseCdPosition(*toc, *to, format_);
        if (p.error) return p.error;
        end = p.lsn;
    }
    if (start >= end) return mci_error::OUTOFRANGE;
    return drive_->play(start, end) ? 0 : mci_error::CANNOT_LOAD_DRIVER;
}

int32_t CdAudioDevice::stop() {
    drive_->stop();
    return 0;
}

MpegVideoDevice::MpegVideoDevice(std::unique_ptr<MusicStream> stream) : stream_(std::move(stream)) {}

MpegVideoDevice::~MpegVideoDevice() {
    stream_->stop();
}

int32_t MpegVideoDevice::setTimeFormat(const std::string& format) {
    std::string f = lowerAscii(format);
    return f == "milliseconds" || f == "ms" ? 0 : mci_error::BAD_TIME_FORMAT;
}

int32_t MpegVideoDevice::status(const std::vector<std::string>& item, std::string& reply) {
    std::string what = joinedLower(item);
    if (what.empty()) return mci_error::MISSING_PARAMETER;
    if (what == "mode")
        reply = stream_->playing() ? "playing" : "stopped";
    else if (what == "position")
        reply = std::to_string(stream_->positionMs());
    else if (what == "length")
        reply = std::to_string(stream_->lengthMs());
    else
        return mci_error::UNRECOGNIZED_KEYWORD;
    return 0;
}

int32_t MpegVideoDevice::play(const std::optional<std::string>& from, const std::optional<std::string>& to) {
    if (to) return mci_error::UNSUPPORTED_FUNCTION;
    std::optional<int64_t> fromMs;
    if (from) {
        if (from->empty() || from->size() > 12) return mci_error::BAD_INTEGER;
        int64_t ms = 0;
        for (char c : *from) {
            if (c < '0' || c > '9') return mci_error::BAD_INTEGER;
            ms = ms * 10 + (c - '0');
        }
        fromMs = ms;
    }
    stream_->play(fromMs);
    return 0;
}

int32_t MpegVideoDevice::stop() {
    stream_->stop();
    return 0;
}

} // namespace mirevo
