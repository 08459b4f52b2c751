#include "shared/music/cdio_disc.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include "shared/music/audio_toc.h"
#include "shared/music/music_source.h"

namespace mirevo {
namespace {

// A sector that still reads wrong after this many tries is skipped rather than tried for ever.
constexpr int PARANOIA_RETRIES = 5;

// The music reports failures only as MCI codes; libcdio's own messages would go to stderr.
void quietLog(cdio_log_level_t, const char*) {}
void quietParanoia(long, paranoia_cb_mode_t) {}

struct CdioFree {
    void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};
struct DriveFree {
    void operator()(cdrom_drive_t* drive) const { cdio_cddap_close_no_free_cdio(drive); }
};
struct ParanoiaFree {
    void operator()(cdrom_paranoia_t* paranoia) const { cdio_paranoia_free(paranoia); }
};

std::string defaultDrive() {
    char* name = cdio_get_default_device(nullptr);
    std::string drive = name ? name : "";
    std::free(name);
    return drive;
}

class CdioDisc final : public DiscReader {
public:
    explicit CdioDisc(std::string device) : device_(std::move(device)) {}

    std::optional<CdToc> readToc() override {
        close();
        // Judged here, just before libcdio opens it: a FIFO or anything else that could block the open
        // is no disc.
        auto source = chooseCdSource(device_.empty() ? defaultDrive() : device_, fileKind);
        if (!source) return std::nullopt;
        image_ = source->kind == CdSource::Kind::CueImage;
        cdio_.reset(image_ ? cdio_open_cue(source->path.c_str())
                           : cdio_open(source->path.c_str(), DRIVER_DEVICE));
        if (!cdio_) return std::nullopt;
        auto toc = audioToc(layout());
        if (!toc) return std::nullopt;
        if (!image_) {
            openParanoia();
            // Forget a change the drive noticed before this read, so that only a later one counts.
            cdio_get_media_changed(cdio_.get());
        }
        return toc;
    }

    bool readSectors(int32_t lsn, int32_t count, uint8_t* out) override {
        if (!cdio_) return false;
        if (!paranoia_)
            return cdio_read_audio_sectors(cdio_.get(), out, lsn, static_cast<uint32_t>(count)) ==
                   DRIVER_OP_SUCCESS;
        if (lsn != next_) cdio_paranoia_seek(paranoia_.get(), lsn, SEEK_SET);
        for (int32_t i = 0; i < count; ++i) {
            int16_t* sector = cdio_paranoia_read_limited(paranoia_.get(), quietParanoia, PARANOIA_RETRIES);
            if (!sector) {
                next_ = -1;
                return false;
            }
            std::memcpy(out + static_cast<size_t>(i) * CD_SECTOR_BYTES, sector, CD_SECTOR_BYTES);
        }
        next_ = lsn + count;
        return true;
    }

    bool discChanged() override { return cdio_ && !image_ && cdio_get_media_changed(cdio_.get()) == 1; }

private:
    DiscLayout layout() const {
        DiscLayout layout;
        layout.image = image_;
        track_t first = cdio_get_first_track_num(cdio_.get());
        track_t count = cdio_get_num_tracks(cdio_.get());
        lsn_t leadout = cdio_get_track_lsn(cdio_.get(), CDIO_CDROM_LEADOUT_TRACK);
        if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || leadout == CDIO_INVALID_LSN)
            return layout;
        layout.leadout = leadout;
        for (int t = first; t < first + count; ++t) {
            auto track = static_cast<track_t>(t);
            DiscTrack info;
            info.number = t;
            info.start = cdio_get_track_lsn(cdio_.get(), track);
            if (info.start == CDIO_INVALID_LSN) break;
            lsn_t pregap = cdio_get_track_pregap_lsn(cdio_.get(), track);
            if (pregap != CDIO_INVALID_LSN) info.pregap = pregap;
            info.audio = cdio_get_track_format(cdio_.get(), track) == TRACK_FORMAT_AUDIO;
            layout.tracks.push_back(info);
        }
        lsn_t lastSession = 0;
        if (!image_ && cdio_get_last_session(cdio_.get(), &lastSession) == DRIVER_OP_SUCCESS)
            layout.lastSessionStart = lastSession;
        return layout;
    }

    // Paranoia corrects what a scratched disc or a jittery drive gets wrong.
    void openParanoia() {
        drive_.reset(cdio_cddap_identify_cdio(cdio_.get(), CDDA_MESSAGE_FORGETIT, nullptr));
        if (drive_ && cdio_cddap_open(drive_.get()) != 0) drive_.reset();
        if (drive_) paranoia_.reset(cdio_paranoia_init(drive_.get()));
        if (paranoia_) cdio_paranoia_modeset(paranoia_.get(), PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        next_ = -1;
    }

    void close() {
        paranoia_.reset();
        drive_.reset();
        cdio_.reset();
    }

    std::string device_;
    bool image_ = false;
    // Declared so that paranoia goes first, then the drive, then libcdio's handle they both use.
    std::unique_ptr<CdIo_t, CdioFree> cdio_;
    std::unique_ptr<cdrom_drive_t, DriveFree> drive_;
    std::unique_ptr<cdrom_paranoia_t, ParanoiaFree> paranoia_;
    int32_t next_ = -1;
};

} // namespace

std::unique_ptr<DiscReader> openCdioDisc(const char* device) {
    cdio_log_set_handler(quietLog);
    return std::make_unique<CdioDisc>(device ? device : "");
}

} // namespace mirevo
