#include "saver/music/cdio_disc.h"

#include <cstring>
#include <string>

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

namespace mirevo {
namespace {

// The music reports failures only as MCI codes; libcdio's own messages would go to stderr.
void quietLog(cdio_log_level_t, const char*) {}
void quietParanoia(long, paranoia_cb_mode_t) {}

bool endsWithCue(const std::string& path) {
    if (path.size() < 4) return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return end == ".cue";
}

class CdioDisc final : public DiscReader {
public:
    explicit CdioDisc(CdIo_t* cdio) : cdio_(cdio) {}
    ~CdioDisc() override {
        if (paranoia_) cdio_paranoia_free(paranoia_);
        if (drive_) cdio_cddap_close_no_free_cdio(drive_);
        cdio_destroy(cdio_);
    }
    CdioDisc(const CdioDisc&) = delete;
    CdioDisc& operator=(const CdioDisc&) = delete;

    std::optional<CdToc> readToc() override {
        track_t first = cdio_get_first_track_num(cdio_);
        track_t count = cdio_get_num_tracks(cdio_);
        if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) return std::nullopt;
        CdToc toc;
        toc.firstTrack = first;
        for (track_t t = first; t < first + count; ++t) {
            lsn_t start = cdio_get_track_lsn(cdio_, t);
            if (start == CDIO_INVALID_LSN) return std::nullopt;
            toc.trackStart.push_back(start);
        }
        toc.leadout = cdio_get_track_lsn(cdio_, CDIO_CDROM_LEADOUT_TRACK);
        if (toc.leadout == CDIO_INVALID_LSN) return std::nullopt;
        openParanoia();
        return toc;
    }

    bool readSectors(int32_t lsn, int32_t count, uint8_t* out) override {
        if (!paranoia_)
            return cdio_read_audio_sectors(cdio_, out, lsn, static_cast<uint32_t>(count)) ==
                   DRIVER_OP_SUCCESS;
        if (lsn != next_) cdio_paranoia_seek(paranoia_, lsn, SEEK_SET);
        for (int32_t i = 0; i < count; ++i) {
            int16_t* sector = cdio_paranoia_read(paranoia_, quietParanoia);
            if (!sector) return false;
            std::memcpy(out + static_cast<size_t>(i) * CD_SECTOR_BYTES, sector, CD_SECTOR_BYTES);
        }
        next_ = lsn + count;
        return true;
    }

private:
    // Paranoia corrects what a scratched disc or a jittery drive gets wrong; without it the sectors are
    // read as they come.
    void openParanoia() {
        if (drive_) return;
        drive_ = cdio_cddap_identify_cdio(cdio_, CDDA_MESSAGE_FORGETIT, nullptr);
        if (!drive_) return;
        if (cdio_cddap_open(drive_) != 0) {
            cdio_cddap_close_no_free_cdio(drive_);
            drive_ = nullptr;
            return;
        }
        paranoia_ = cdio_paranoia_init(drive_);
        if (paranoia_) cdio_paranoia_modeset(paranoia_, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    }

    CdIo_t* cdio_;
    cdrom_drive_t* drive_ = nullptr;
    cdrom_paranoia_t* paranoia_ = nullptr;
    int32_t next_ = -1;
};

} // namespace

std::unique_ptr<DiscReader> openCdioDisc(const char* device) {
    cdio_log_set_handler(quietLog);
    std::string name = device ? device : "";
    CdIo_t* cdio = nullptr;
    if (name.empty())
        cdio = cdio_open(nullptr, DRIVER_DEVICE);
    else if (endsWithCue(name))
        cdio = cdio_open_cue(name.c_str());
    else
        cdio = cdio_open(name.c_str(), DRIVER_UNKNOWN);
    if (!cdio) return nullptr;
    return std::make_unique<CdioDisc>(cdio);
}

} // namespace mirevo
