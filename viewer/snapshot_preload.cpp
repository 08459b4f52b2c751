#include "viewer/snapshot_preload.h"

#include "viewer/mipmap_levels.h"

namespace mirevo::viewer {

PreparedSnapshot prepareSnapshot(const std::string& path) {
    PreparedSnapshot prepared{loadBmpFile(path), {}};
    if (!prepared.image) return prepared;
    // Each level halves from the one before it, so the count is known: no reallocation moves them.
    const BmpImage* level = &*prepared.image.value;
    size_t count = 0;
    for (int w = level->width, h = level->height; w > 1 || h > 1;
         w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1)
        ++count;
    prepared.smallerLevels.reserve(count);
    while (level->width > 1 || level->height > 1) {
        prepared.smallerLevels.push_back(halveImage(*level));
        level = &prepared.smallerLevels.back();
    }
    return prepared;
}

} // namespace mirevo::viewer
