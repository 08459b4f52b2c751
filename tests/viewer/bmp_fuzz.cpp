// The snapshot reader on arbitrary bytes: it must refuse or accept without reading outside the input, and
// what it accepts must hold exactly the rows its header promises, whole or reduced to a smaller limit.
#include <cstdint>
#include <cstdlib>

#include "viewer/bmp_reader.h"
#include "viewer/box_reduce.h"

namespace {

void check(const mirevo::viewer::BmpResult<mirevo::viewer::BmpImage>& result, int maxSide) {
    if (!result) return;
    const mirevo::viewer::BmpImage& image = *result.value;
    size_t row = (static_cast<size_t>(image.width) * 3 + 3) & ~size_t{3};
    if (image.width <= 0 || image.height <= 0 || image.width > maxSide || image.height > maxSide ||
        image.pixels.size() != row * static_cast<size_t>(image.height))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mirevo::viewer;
    check(parseBmp(data, size), kMaxBmpSide);
    // A limit taken from the input itself, so that a finding replays the same way.
    const int maxSide = 1 + static_cast<int>(size % 5);
    check(parseBmp(data, size, [maxSide](const BmpLayout&) { return maxSide; }), maxSide);
    return 0;
}
