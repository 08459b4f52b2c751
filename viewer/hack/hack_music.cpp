#include "viewer/hack/hack_music.h"

#include <cstdio>

#include "common/log.h"
#include "common/snapshot_path.h"
#include "shared/settings_file/tovik_b.h"
#include "viewer/hack/music_module.h"

namespace mirevo::viewer {

std::unique_ptr<HackMusic> HackMusic::startIfFirst(const std::string& programFolder, double nowSeconds) {
    FileLock lock = FileLock::take(snapshotFolder(true), kHackMusicLockFileName);
    if (lock.state() != FileLockState::Taken) return nullptr;
    std::unique_ptr<HackMusic> self(new HackMusic(std::move(lock)));
    Settings_Load(self->state_, programFolder);
    self->kind_ = musicKindOf(self->state_.settings);
    if (self->kind_ == MusicKind::None) return nullptr;
    auto music = loadMusic(programFolder, self->state_.settings, self->state_.LastApiResult);
    if (!music) {
        logWarning("no music: " + music.reason());
        return nullptr;
    }
    self->music_ = std::move(*music);
    startMusic(*self->music_, self->kind_);
    self->monitorOn_ = monitorIntervalMs(self->kind_) > 0;
    self->nextLook_ = nowSeconds + monitorIntervalMs(self->kind_) / 1000.0;
    return self;
}

void HackMusic::tick(double nowSeconds) {
    if (!monitorOn_ || nowSeconds < nextLook_) return;
    // As the session does: the CD's monitor stops once the disc has stopped for good.
    monitorOn_ = monitorMusic(*music_, kind_);
    nextLook_ = nowSeconds + monitorIntervalMs(kind_) / 1000.0;
}

HackMusic::~HackMusic() {
    if (music_) stopMusic(*music_, kind_, monitorOn_);
}

} // namespace mirevo::viewer
