#include "viewer/picture/snapshot_preload.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace mirevo::viewer {

namespace {

// Level 1 down to 1 x 1 beside the picture where the GL wants them; refused as OutOfMemory (or Cancelled)
// instead.
PreparedSnapshot withSmallerLevels(PreparedSnapshot prepared, const std::atomic<bool>* cancelled,
                                   const LevelsWanted& levelsWanted) {
    if (!prepared.image) return prepared;
    const Picture& image = *prepared.image;
    if (levelsWanted && !levelsWanted(image.width, image.height)) return prepared;
    if (cancelled && cancelled->load()) return {Failure(BmpRefusal::Cancelled), {}};
    try {
        prepared.smallerLevels = rgbaSmallerLevels(image, cancelled);
    } catch (const std::bad_alloc&) {
        return {Failure(BmpRefusal::OutOfMemory), {}};
    }
    if (cancelled && cancelled->load()) return {Failure(BmpRefusal::Cancelled), {}};
    return prepared;
}

} // namespace

PreparedSnapshot prepareSnapshot(const std::string& path, const SideLimit& maxSide,
                                 const std::atomic<bool>* cancelled, const LevelsWanted& levelsWanted) {
    return withSmallerLevels({loadBmpFile(path, maxSide, cancelled), {}}, cancelled, levelsWanted);
}

PreparedSnapshot preparePicture(Picture picture) {
    if (picture.width <= 0 || picture.height <= 0) return {Failure(BmpRefusal::BadWidth), {}};
    return {BmpResult<Picture>(std::move(picture)), {}};
}

SnapshotPreload::SnapshotPreload(const std::string& path) : path_(path) {
    auto prepare = [this] {
        return prepareSnapshot(
            path_, [this](const BmpLayout& layout) { return maxSideFor(layout); }, &cancelled_,
            [this](int width, int height) { return levelsWantedFor(width, height); });
    };
    try {
        result_ = std::async(std::launch::async, prepare);
    } catch (const std::system_error&) {
        // No thread to be had: the snapshot is read when it is asked for, on the caller's thread.
        result_ = std::async(std::launch::deferred, prepare);
    }
}

SnapshotPreload::~SnapshotPreload() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    limitKnown_.notify_all();
    if (result_.valid() && result_.wait_for(std::chrono::seconds(0)) != std::future_status::deferred)
        result_.wait();
}

void SnapshotPreload::setMaxTextureSide(int side, LevelsWanted levelsWanted) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        maxTextureSide_ = std::max(side, 1);
        levelsWanted_ = std::move(levelsWanted);
    }
    limitKnown_.notify_all();
}

int SnapshotPreload::maxSideFor(const BmpLayout& layout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (maxTextureSide_ == 0 && std::max(layout.width, layout.height) <= kSideEveryGlTakes)
        return kSideEveryGlTakes;
    limitKnown_.wait(lock, [this] { return maxTextureSide_ != 0 || cancelled_; });
    // Abandoned before the GL said: the read stops at its first band anyway.
    return maxTextureSide_ != 0 ? maxTextureSide_ : kSideEveryGlTakes;
}

bool SnapshotPreload::levelsWantedFor(int width, int height) {
    std::unique_lock<std::mutex> lock(mutex_);
    limitKnown_.wait(lock, [this] { return maxTextureSide_ != 0 || taken_ || cancelled_; });
    // Taken before the GL said: the levels are averaged, as they always were for such a caller.
    return maxTextureSide_ == 0 || !levelsWanted_ || levelsWanted_(width, height);
}

bool SnapshotPreload::ready(std::chrono::milliseconds timeout) {
    // A deferred read (no helper thread) is ready in the sense that asking for it does the work now.
    return result_.wait_for(timeout) != std::future_status::timeout;
}

PreparedSnapshot SnapshotPreload::take() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        taken_ = true;
    }
    limitKnown_.notify_all();
    return result_.get();
}

} // namespace mirevo::viewer
