#pragma once
// The snapshot as the viewer reads it: an uncompressed 24-bit bottom-up Windows bitmap. The reader believes
// no field of the file; whatever the texture upload could not take safely is refused with its reason.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "viewer/picture/picture.h"

namespace mirevo::viewer {

enum class BmpRefusal {
    None,
    CannotOpen,  // missing, unreadable, a symbolic link or not a regular file
    ShortHeader, // fewer bytes than the 14-byte file header and the 40-byte info header
    NotBitmap,   // does not start with "BM"
    NotTwentyFourBit,
    Compressed,
    BadWidth,       // width <= 0
    BadHeight,      // height 0
    TopDown,        // negative height
    TooLarge,       // a side above kMaxBmpSide
    BadPixelOffset, // pixel data said to start inside the headers or beyond the end of the file
    ShortPixelData, // fewer pixel bytes than |height| padded rows
    OutOfMemory,    // no room for the picture (or its smaller levels)
    Cancelled,      // the viewer ended while the rows were being read
};

const char* describe(BmpRefusal refusal);

inline constexpr int32_t kMaxBmpSide = 32768;

// Where the pixels are and how they are laid out, once the headers have been found sound.
struct BmpLayout {
    int32_t width = 0;
    int32_t height = 0; // positive: the first row in the file is the bottom of the picture
    uint32_t pixelOffset = 0;
    size_t rowBytes = 0; // 3 x width, padded to a multiple of 4
    size_t pixelBytes() const { return rowBytes * static_cast<size_t>(height); }
};

template <typename T> using BmpResult = Result<T, BmpRefusal>;

// Why the file was refused, or None when it was read.
template <typename T> BmpRefusal refusalOf(const BmpResult<T>& result) {
    return result ? BmpRefusal::None : result.reason();
}

// Checks the first bytes of a file of fileSize bytes; header may hold more than the 54 it needs.
BmpResult<BmpLayout> parseBmpHeader(const uint8_t* header, size_t headerSize, uint64_t fileSize);

// The largest side the picture may keep, asked once its header has been found sound (it may wait for the
// answer). A larger picture is reduced by a whole factor while its rows are read (see box_reduce.h).
using SideLimit = std::function<int(const BmpLayout&)>;

// A whole file held in memory.
BmpResult<Picture> parseBmp(const uint8_t* data, size_t size, const SideLimit& maxSide = {});

// Reads the file without following a symbolic link, in bands of whole rows; allocates only what the checked
// layout (reduced to maxSide) needs. Setting cancelled stops the read between two bands.
BmpResult<Picture> loadBmpFile(const std::string& path, const SideLimit& maxSide = {},
                                const std::atomic<bool>* cancelled = nullptr);

} // namespace mirevo::viewer
