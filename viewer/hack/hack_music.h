#pragma once
// The music chosen in the saver's settings, for hacks: a manager starts one copy per monitor, and only the
// first to take a per-user lock plays; it stops with that copy. Its monitor runs on the hack's frame loop at
// the session's intervals. The settings are only read, never written.
#include <memory>
#include <string>

#include "common/posix/file_lock.h"
#include "shared/music/music.h"
#include "shared/music/music_plan.h"
#include "shared/settings/settings.h"

namespace mirevo::viewer {

// Beside the saver's own lock, in the user's private folder.
inline constexpr const char* kHackMusicLockFileName = "Tovik-music.lock";

class HackMusic {
public:
    // Nothing when another copy holds the lock, no lock can be had, or the settings choose no music.
    static std::unique_ptr<HackMusic> startIfFirst(const std::string& programFolder, double nowSeconds);
    ~HackMusic();
    HackMusic(const HackMusic&) = delete;
    HackMusic& operator=(const HackMusic&) = delete;

    // Once per frame: the monitor's look when it is due.
    void tick(double nowSeconds);

private:
    explicit HackMusic(FileLock lock) : lock_(std::move(lock)) {}

    FileLock lock_;
    ProgramState state_;
    std::unique_ptr<Music> music_;
    MusicKind kind_ = MusicKind::None;
    bool monitorOn_ = false;
    double nextLook_ = 0;
};

} // namespace mirevo::viewer
