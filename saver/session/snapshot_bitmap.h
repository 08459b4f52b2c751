#pragma once
// The desktop picture as the viewer reads it: an uncompressed 24-bit bottom-up bitmap file, mirrored left to
// right. Plain arithmetic on pixel memory, so it is tested without a screen.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "saver/session/byte_sink.h"

namespace mirevo {

// Screen pixels as the X server hands them over on a true-colour visual: 32 bits each, 0x00RRGGBB in this
// machine's byte order, rows top to bottom, stride bytes apart.
struct PixelView {
    const uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    size_t stride = 0;
};

// The screen's picture, its pixels kept alive by holder (a shared-memory segment, an image from the server).
struct ScreenPicture {
    PixelView view;
    std::shared_ptr<const void> holder;
};

inline constexpr size_t kBitmapHeaderSize = 54;  // 14-byte file header + 40-byte information header

// Bytes of one pixel row in the file: three per pixel, padded to a multiple of four.
constexpr size_t bitmapRowSize(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t(3); }
constexpr size_t bitmapFileSize(int width, int height) {
    return kBitmapHeaderSize + bitmapRowSize(width) * static_cast<size_t>(height);
}

// The file of the picture mirrored left to right (column x lands in column width - 1 - x), rows not flipped:
// the first row in the file is the picture's bottom row, as bottom-up bitmaps have it. The bytes go to the
// sink in pieces small enough to stay in the cache, so a screen-sized file is never held in memory. False for
// an empty picture or when the sink fails.
bool writeMirroredBitmap(const PixelView& picture, const ByteSink& sink);

} // namespace mirevo
