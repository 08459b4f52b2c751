#include "viewer/picture/snapshot_preload.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "viewer/picture/mipmap_levels.h"

namespace mirevo::viewer {

namespace {

// Level 1 down to 1 x 1 beside the picture; refused as OutOfMemory (or Cancelled) instead.
PreparedSnapshot withSmallerLevels(PreparedSnapshot prepared, const std::atomic<bool>* cancelled) {
    if (!prepared.image) return prepared;
    try {
        // Each level halves from the one before it, so the count is known: no reallocation moves them.
        const Picture* level = &*prepared.image;
        size_t count = 0;
        for (int w = level->width, h = level->height; w > 1 || h > 1;
             w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1)
            ++count;
        prepared.smallerLevels.reserve(count);
        while (level->width > 1 || level->height > 1) {
            if (cancelled && cancelled->load())
                return {Failure(BmpRefusal::Cancelled), {}};
            prepared.smallerLevels.push_back(halveImage(*level));
            level = &prepared.smallerLevels.back();
        }
    } catch (const std::bad_alloc&) {
        return {Failure(BmpRefusal::OutOfMemory), {}};
    }
    return prepared;
}

} // namespace

PreparedSnapshot prepareSnapshot(const std::string& path, const SideLimit& maxSide,
                                 const std::atomic<bool>* cancelled) {
    return withSmallerLevels({loadBmpFile(path, maxSide, cancelled), {}}, cancelled);
}

PreparedSnapshot preparePicture(Picture picture) {
    if (picture.width <= 0 || picture.height <= 0) return {Failure(BmpRefusal::BadWidth), {}};
    return {BmpResult<Picture>(std::move(picture)), {}};
}

SnapshotPreload::SnapshotPreload(const std::string& path) : path_(path) {
    auto prepare = [this] {
        return prepareSnapshot(
            path_, [this](const BmpLayout& layout) { return maxSideFor(layout); }, &cancelled_);
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

void SnapshotPreload::setMaxTextureSide(int side) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        maxTextureSide_ = std::max(side, 1);
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

bool SnapshotPreload::ready(std::chrono::milliseconds timeout) {
    // A deferred read (no helper thread) is ready in the sense that asking for it does the work now.
    return result_.wait_for(timeout) != std::future_status::timeout;
}

PreparedSnapshot SnapshotPreload::take() {
    return result_.get();
}

} // namespace mirevo::viewer
