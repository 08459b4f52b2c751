#pragma once
// Reading the snapshot and averaging its smaller mipmap levels need no GL, so they start at program entry on
// a helper thread and overlap with opening the display and creating the GL context; the GL thread then only
// uploads. The helper touches nothing but the file and its own buffers.
#include <future>
#include <string>
#include <vector>

#include "viewer/bmp_reader.h"

namespace mirevo::viewer {

struct PreparedSnapshot {
    BmpResult<BmpImage> image;
    std::vector<BmpImage> smallerLevels; // level 1 down to 1 x 1; empty when the file was refused
};

PreparedSnapshot prepareSnapshot(const std::string& path);

class SnapshotPreload {
public:
    explicit SnapshotPreload(const std::string& path)
        : path_(path), result_(std::async(std::launch::async, prepareSnapshot, path)) {}
    const std::string& path() const { return path_; }
    // Waits for the helper; call once.
    PreparedSnapshot take() { return result_.get(); }

private:
    std::string path_;
    std::future<PreparedSnapshot> result_;
};

} // namespace mirevo::viewer
