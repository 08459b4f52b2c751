// What a compositor or screenshot service announces, as arbitrary numbers: the outputs' layouts, a copy's
// buffer and a desktop picture's size. Whatever they say, the sizes believed and kept stay within their
// bounds, with no overflow on the way.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "saver/session/picture_size.h"

namespace {

// The next 32-bit number of the input, 0 once it is used up.
uint32_t next(const uint8_t*& data, size_t& size) {
    uint32_t value = 0;
    const size_t taken = size < 4 ? size : 4;
    std::memcpy(&value, data, taken);
    data += taken, size -= taken;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mirevo;
    if (size == 0) return 0;
    std::vector<OutputLayout> outputs(data[0] % 4); // the first byte: how many outputs
    ++data, --size;
    for (OutputLayout& output : outputs) {
        output.x = int32_t(next(data, size)), output.y = int32_t(next(data, size));
        output.logicalWidth = int32_t(next(data, size)), output.logicalHeight = int32_t(next(data, size));
        output.modeWidth = int32_t(next(data, size)), output.modeHeight = int32_t(next(data, size));
        output.scale = int32_t(next(data, size));
        output.transform = OutputTransform(next(data, size) & 7);
    }
    const uint32_t width = next(data, size), height = next(data, size), stride = next(data, size);

    const PictureSize desktop = nativeDesktopSize(outputs);
    if (desktop.width < 0 || desktop.height < 0) std::abort();
    if (desktopPictureFits(width, height, stride, desktop) &&
        (width > uint32_t(desktop.width) || height > uint32_t(desktop.height) || uint64_t(stride) < uint64_t(width) * 4))
        std::abort();
    for (const OutputLayout& output : outputs)
        if (copyBufferFits(output, width, height, stride) &&
            (width > uint32_t(kMaxDesktopSide) || height > uint32_t(kMaxDesktopSide)))
            std::abort();

    const int w = int(width & 0x7FFFFFFF), h = int(height & 0x7FFFFFFF);
    const PictureSize kept = keptPictureSize(w, h);
    if (w > 0 && h > 0) {
        if (kept.width < 1 || kept.height < 1 || kept.width > w || kept.height > h) std::abort();
        if (std::max(kept.width, kept.height) > kMaxPictureSide) std::abort();
        if (int64_t(kept.width) * kept.height > kMaxPicturePixels) std::abort();
    }
    return 0;
}
