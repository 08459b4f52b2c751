// The snapshot reader on arbitrary bytes: it must refuse or accept without reading outside the input, and
// what it accepts must hold exactly the rows its header promises, whole or reduced to a smaller limit (taken
// from the input's length, so that a finding replays the same way).
#include <cstdint>
#include <cstdlib>

#include "viewer/picture/bmp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mirevo::viewer;
    const int limit = 1 + static_cast<int>(size % 5);
    for (int maxSide : {kMaxBmpSide, limit}) {
        auto result = parseBmp(data, size, [maxSide](const BmpLayout&) { return maxSide; });
        if (!result) continue;
        const Picture& image = *result;
        size_t row = pictureRowBytes(image.width);
        if (image.width <= 0 || image.height <= 0 || image.width > maxSide || image.height > maxSide ||
            image.pixels.size() != row * static_cast<size_t>(image.height))
            std::abort();
    }
    return 0;
}
