#pragma once
// The music chosen in the saver's settings, for hacks: a manager starts one copy per monitor, and only the
// first to take a per-user lock plays; it stops with that copy. The MP3 restart and the CD monitor run on
// the hack's frame loop at the saver's intervals. The settings are only read, never written.
#include <memory>
#include <string>

#include "saver/music/music.h"
#include "common/posix/file_lock.h"
#include "saver/settings/settings.h"

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

    // Once per frame: restarts an MP3 that has ended, keeps the CD going.
    void tick(double nowSeconds);

private:
    explicit HackMusic(FileLock lock) : lock_(std::move(lock)) {}

    FileLock lock_;
    ProgramState state_;
    std::unique_ptr<Music> music_;
    bool mp3_ = false, wav_ = false, cd_ = false;
    double nextMp3_ = 0, nextCd_ = 0;
};

// The folder of the running program (a link to it, such as mirevo-hack, counts for its target).
std::string programFolderOfThisProcess();

} // namespace mirevo::viewer
