#pragma once
// How a visual's colour masks hold RGB, both ways: the preview packs its picture's RGB into the host's pixel
// values, the screen grab unpacks the server's pixel values into RGB. Neither needs 8-8-8.
#include <cstdint>
#include <optional>
#include <vector>

namespace mirevo {

struct PixelFormat {
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
};

// The colour masks a server gives pixels of this depth where no visual of the depth says otherwise (a pixmap
// of another depth than the screen's): 5-5-5 for 15, 5-6-5 for 16, 8-8-8 for 24 and 32, 10-10-10 for 30.
// Nothing for the depths that hold colour-map indexes rather than colours (1, 4, 8) and any other.
std::optional<PixelFormat> standardPixelFormat(int depth);

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
