#pragma once
// The server's pixels in every layout the programs meet, with the colour each stands for: the screen grab's
// unpacking and the hack's mirrored picture are both held to this one table.
#include <cstdint>
#include <vector>

#include "common/x11/pixel_format.h"

namespace mirevo::test {

inline const PixelFormat rgb888{0xff0000, 0x00ff00, 0x0000ff};
inline const PixelFormat bgr888{0x0000ff, 0x00ff00, 0xff0000};
inline const PixelFormat rgb565{0xf800, 0x07e0, 0x001f};
inline const PixelFormat rgb101010{0x3ff00000, 0x000ffc00, 0x000003ff};
inline const PixelFormat bgr101010{0x000003ff, 0x000ffc00, 0x3ff00000};

struct PixelCase {
    const char* what;
    ImageLayout layout;
    std::vector<uint8_t> bytes; // two pixels, as the server sends them
    uint32_t first, second;     // 0x00RRGGBB
};

// clang-format off
inline const PixelCase kPixelCases[] = {
    {"888, LSB first", {32, false, rgb888}, {0x56, 0x34, 0x12, 0, 0xff, 0, 0, 0}, 0x123456, 0x0000ff},
    {"888, MSB first", {32, true, rgb888}, {0, 0x12, 0x34, 0x56, 0, 0, 0, 0xff}, 0x123456, 0x0000ff},
    {"888, the unused byte set", {32, false, rgb888}, {0x56, 0x34, 0x12, 0xff, 0, 0, 0, 0xff}, 0x123456, 0},
    {"BGR 888, 32 bits", {32, false, bgr888}, {0x12, 0x34, 0x56, 0, 0xff, 0, 0, 0}, 0x123456, 0xff0000},
    {"888, 24 bits", {24, false, rgb888}, {0x56, 0x34, 0x12, 0xff, 0xff, 0xff}, 0x123456, 0xffffff},
    // Green's 6 bits: 32 of 63 is 129 of 255; blue's 5 bits: 1 of 31 is 8 of 255.
    {"565, LSB first", {16, false, rgb565}, {0x00, 0xf8, 0x01, 0x04}, 0xff0000, 0x008108},
    {"565, MSB first", {16, true, rgb565}, {0xf8, 0x00, 0xff, 0xff}, 0xff0000, 0xffffff},
    // Depth 30 in 32 bits. 512 of 1023 is 127 of 255 (not 128, the top 8 bits); 4 is 0 (not 1), 1020 is 254.
    {"10-10-10, LSB first", {32, false, rgb101010}, {0, 0, 0xf0, 0x3f, 0, 0x02, 0, 0}, 0xff0000, 0x00007f},
    {"10-10-10, MSB first", {32, true, rgb101010}, {0x3f, 0xf0, 0, 0, 0x00, 0x4f, 0xf0, 0x03}, 0xff0000,
     0x00fe00},
    {"10-10-10, blue high", {32, false, bgr101010}, {0, 0, 0xf0, 0x3f, 0xff, 0x03, 0, 0xc0}, 0x0000ff,
     0xff0000},
    {"palette (no masks)", {8, false, PixelFormat{}}, {0x12, 0xff}, 0, 0},
};
// clang-format on

} // namespace mirevo::test
