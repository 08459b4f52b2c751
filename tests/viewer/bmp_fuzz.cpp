// The snapshot reader on arbitrary bytes: it must refuse or accept without reading outside the input, and
// what it accepts must hold exactly the rows its header promises.
#include <cstdint>
#include <cstdlib>

#include "viewer/bmp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mirevo::viewer;
    auto result = parseBmp(data, size);
    if (result) {
        const BmpImage& image = *result.value;
        size_t row = (static_cast<size_t>(image.width) * 3 + 3) & ~size_t{3};
        if (image.width <= 0 || image.height <= 0 ||
            image.pixels.size() != row * static_cast<size_t>(image.height))
            std::abort();
    }
    return 0;
}
