#pragma once
// Where a file's bytes go, piece by piece and in order; false when they could not be taken.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace mirevo {

using ByteSink = std::function<bool(const uint8_t* data, size_t size)>;

// Something that writes a whole file's contents through a sink; false when it could not.
using FileContents = std::function<bool(const ByteSink& sink)>;

} // namespace mirevo
