#pragma once
// How a visual's colour masks hold RGB, both ways: the preview packs its picture's RGB into the host's pixel
// values, the screen grab unpacks the server's pixel values into RGB. Neither needs 8-8-8.
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

// A pixel value as 0x00RRGGBB, each channel scaled from its mask's width to 8 bits (rounded down); a channel
// without a mask is 0.
uint32_t unpackPixel(const PixelFormat& format, uint32_t pixel);

// How an image read from the server holds its pixels.
struct ImageLayout {
    int bitsPerPixel = 32;
    bool mostSignificantByteFirst = false; // the byte order of a pixel's bytes
    PixelFormat format;
};

// 32-bit 0x00RRGGBB in this machine's byte order: rows that can be taken as they are.
bool isNativeRgb32(const ImageLayout& layout);

// A row of width pixels as 0x00RRGGBB. False for pixels of other than 8, 16, 24 or 32 bits.
bool unpackRow(const ImageLayout& layout, const uint8_t* row, int width, uint32_t* out);

} // namespace mirevo
