#pragma once
// Turning the picture's RGB into the pixel values of the host's visual, which need not be 8-8-8.
#include <cstdint>
#include <vector>

namespace mirevo {

struct PixelFormat {
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
};

// Each 8-bit channel keeps as many of its top bits as its mask holds.
uint32_t packPixel(const PixelFormat& format, uint8_t red, uint8_t green, uint8_t blue);

// An RGB picture (width * height * 3, top row first) as pixel values, row by row.
std::vector<uint32_t> packPicture(const PixelFormat& format, const std::vector<uint8_t>& rgb);

} // namespace mirevo
