#pragma once
// The rows of a 24-bit bitmap file: blue-green-red, the rows padded to a multiple of 4 bytes. The saver
// writes its snapshot in them, the viewer reads it and keeps every picture in them (the hack's desktop too),
// and the texture upload takes them as they are; so the rule for a row and the mirror that makes one out of
// the X server's pixels are written here once.
#include <cstddef>
#include <cstdint>

namespace mirevo {

inline constexpr size_t kBitmapHeaderSize = 54; // 14-byte file header + 40-byte information header

// Bytes of one pixel row: three per pixel, padded to a multiple of four.
constexpr size_t bitmapRowSize(int width) {
    return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
}

// One row of the X server's pixels (32 bits each, 0x00RRGGBB in this machine's byte order) mirrored left to
// right into blue-green-red bytes: pixel x lands at 3 * (width - 1 - x). The rest of outBytes (at least
// 3 * width), the row's padding, is zeroed; nothing past outBytes is written.
void mirrorRowToBgr(const uint8_t* xrgbRow, int width, uint8_t* out, size_t outBytes);

} // namespace mirevo
