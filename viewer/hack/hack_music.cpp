#include "viewer/hack/hack_music.h"

#include <vector>

#include <unistd.h>

#include "common/snapshot_path.h"
#include "saver/session/tovik_s.h"
#include "saver/startup/tovik_b.h"

namespace mirevo::viewer {

namespace {
// The saver session's timer intervals, in seconds.
const double kMp3Interval = timerInterval(SessionTimer::Timer1) / 1000.0;
const double kCdInterval = timerInterval(SessionTimer::Timer2) / 1000.0;
} // namespace

std::string programFolderOfThisProcess() {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    return Path_Folder(std::string(buffer.data(), static_cast<size_t>(length)));
}

std::unique_ptr<HackMusic> HackMusic::startIfFirst(const std::string& programFolder, double nowSeconds) {
    FileLock lock = FileLock::take(snapshotFolder(true), kHackMusicLockFileName);
    if (lock.state() != FileLockState::Taken) return nullptr;
    std::unique_ptr<HackMusic> self(new HackMusic(std::move(lock)));
    Settings_Load(self->state_, programFolder);
    const Settings& settings = self->state_.settings;
    const std::string ending = musicFileEnding(settings.BgmFile);
    self->cd_ = settings.BgmKind == BGM_CD;
    self->wav_ = settings.BgmKind == BGM_FILE && ending == "WAV";
    self->mp3_ = settings.BgmKind == BGM_FILE && ending == "MP3";
    if (!self->cd_ && !self->wav_ && !self->mp3_) return nullptr;
    self->music_ = makeMusic(settings, self->state_.LastApiResult);
    if (self->cd_) self->music_->CD_Open();
    if (self->wav_) self->music_->WAV_Play();
    if (self->mp3_) self->music_->MP3_Play();
    self->nextMp3_ = nowSeconds + kMp3Interval;
    self->nextCd_ = nowSeconds + kCdInterval;
    return self;
}

void HackMusic::tick(double nowSeconds) {
    if (mp3_ && nowSeconds >= nextMp3_) {
        music_->MP3_Repeat();
        nextMp3_ = nowSeconds + kMp3Interval;
    }
    if (cd_ && nowSeconds >= nextCd_) {
        music_->CD_Check();
        // As the session does: the monitor stops once the disc has stopped for good.
        cd_ = music_->CdActive();
        nextCd_ = nowSeconds + kCdInterval;
    }
}

HackMusic::~HackMusic() {
    if (!music_) return;
    if (cd_) music_->CD_Close();
    if (wav_) music_->WAV_Stop();
    if (mp3_) music_->MP3_Close();
}

} // namespace mirevo::viewer
