#pragma once
// Reading the snapshot and averaging its smaller mipmap levels need no GL, so they start at program entry on
// a helper thread and overlap with opening the display and creating the GL context; the GL thread then only
// uploads, and its window answers Escape and signals meanwhile. The levels are averaged only for a GL that
// is given them (one that builds its own would throw them away), in the RGBA it takes, so the helper waits
// for the GL's word before it averages any. The helper touches nothing but the file, its own buffers and
// what this object shares with it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "viewer/picture/bmp_reader.h"
#include "viewer/picture/rgba_levels.h"

namespace mirevo::viewer {

// Every GL met in practice takes a texture this large, so a picture within it is read without waiting for
// the context; a larger one waits for the GL's own limit, so that it is reduced while it is read.
inline constexpr int kSideEveryGlTakes = 4096;

struct PreparedSnapshot {
    BmpResult<Picture> image;
    // Level 1 down to 1 x 1; empty when the file was refused or the GL builds its own.
    RgbaLevels smallerLevels;
};

// Whether the GL is given the smaller levels of a picture of this size (rather than building its own).
using LevelsWanted = std::function<bool(int width, int height)>;

// Refused as OutOfMemory when the picture or its levels find no room. levelsWanted is asked once the picture
// is read (it may wait for the answer); without it the levels are averaged.
PreparedSnapshot prepareSnapshot(const std::string& path, const SideLimit& maxSide = {},
                                 const std::atomic<bool>* cancelled = nullptr,
                                 const LevelsWanted& levelsWanted = {});
// A picture already in memory (one taken from the X server), without its smaller levels: the upload
// averages them on a thread of its own while it converts the picture, and a GL that builds them itself needs
// none.
PreparedSnapshot preparePicture(Picture picture);

class SnapshotPreload {
public:
    explicit SnapshotPreload(const std::string& path);
    // Abandons a read still running and waits for the helper, which stops between two bands of rows.
    ~SnapshotPreload();
    SnapshotPreload(const SnapshotPreload&) = delete;
    SnapshotPreload& operator=(const SnapshotPreload&) = delete;

    const std::string& path() const { return path_; }
    // The GL's largest texture side, once its context exists, and whether it is given the smaller levels
    // (without it: it is).
    void setMaxTextureSide(int side, LevelsWanted levelsWanted = {});
    // Waits up to timeout; true when take() will not wait. The levels wait for the GL's word (above).
    bool ready(std::chrono::milliseconds timeout);
    // Call once; the levels are averaged when the GL has not said whether it wants them.
    PreparedSnapshot take();

private:
    int maxSideFor(const BmpLayout& layout);
    bool levelsWantedFor(int width, int height);

    std::string path_;
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    std::condition_variable limitKnown_;
    int maxTextureSide_ = 0;               // 0 until the GL has said
    LevelsWanted levelsWanted_;
    bool taken_ = false;
    std::future<PreparedSnapshot> result_; // last, so the helper is gone before what it uses
};

} // namespace mirevo::viewer
