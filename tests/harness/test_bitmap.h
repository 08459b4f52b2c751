#pragma once
// Writes bitmaps the way the saver does (uncompressed 24-bit, bottom-up, 54-byte headers), with room for a
// gap (a colour table) before the pixels; tests then spoil single fields with put16/put32 and read them back
// with le16/le32. Written out with writeFile from temp_dir.h.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/harness/temp_dir.h"

namespace mirevo::test {

using Rgb = std::array<uint8_t, 3>;

inline uint16_t le16(const uint8_t* at) {
    return uint16_t(at[0] | at[1] << 8);
}
inline uint32_t le32(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}
inline void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
}
inline void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

inline size_t bmpRowBytes(int width) {
    return (size_t(width) * 3 + 3) & ~size_t{3};
}

// colourAt(x, y) with y = 0 the top row of the picture.
inline std::vector<uint8_t> makeBmp(int width, int height, const std::function<Rgb(int, int)>& colourAt,
                                    size_t gap = 0, bool declareSize = true) {
    size_t row = bmpRowBytes(width);
    size_t offset = 54 + gap;
    std::vector<uint8_t> b(offset + row * height, 0);
    b[0] = 'B', b[1] = 'M';
    put32(b, 2, uint32_t(b.size()));
    put32(b, 10, uint32_t(offset));
    put32(b, 14, 40);
    put32(b, 18, uint32_t(width));
    put32(b, 22, uint32_t(height));
    put16(b, 26, 1);
    put16(b, 28, 24);
    put32(b, 34, declareSize ? uint32_t(row * height) : 0);
    for (size_t i = 54; i < offset; ++i)
        b[i] = uint8_t(0xA5); // a gap that must not be read as pixels
    for (int y = 0; y < height; ++y) {
        uint8_t* line = &b[offset + row * size_t(height - 1 - y)]; // bottom-up
        for (int x = 0; x < width; ++x) {
            Rgb c = colourAt(x, y);
            line[x * 3] = c[2], line[x * 3 + 1] = c[1], line[x * 3 + 2] = c[0];
        }
    }
    return b;
}

// A bitmap whose pixel rows are a hole in the file: black, and written at once whatever its size.
inline bool writeSparseBmp(const std::string& path, int width, int height) {
    auto header = makeBmp(1, 1, [](int, int) { return Rgb{}; });
    header.resize(54);
    put32(header, 18, uint32_t(width)), put32(header, 22, uint32_t(height)), put32(header, 34, 0);
    return writeFile(path, header) && truncate(path.c_str(), off_t(54 + bmpRowBytes(width) * height)) == 0;
}

// Four quadrants: top-left red, top-right green, bottom-left blue, bottom-right yellow.
inline Rgb quadrantColour(int x, int y, int width, int height) {
    bool right = x >= width / 2, bottom = y >= height / 2;
    if (!bottom) return right ? Rgb{0, 255, 0} : Rgb{255, 0, 0};
    return right ? Rgb{255, 255, 0} : Rgb{0, 0, 255};
}

} // namespace mirevo::test
