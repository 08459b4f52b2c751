#pragma once
// The settings dialog's own small pictures, drawn from numbers: the two 12 x 12 kind marks and the 32 x 32
// hand pointer of the link.
#include <cstdint>
#include <vector>

namespace mirevo {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> argb; // 0xAARRGGBB, top row first
    uint32_t at(int x, int y) const { return argb[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

// A sunken box: a near-black frame around a face that lightens from grey at the top-left to white.
Picture unselectedMark();
// The same frame, a light-grey ring, and a glossy blue square bright at its centre and navy at its edges.
Picture selectedMark();

// A white hand with a black outline, index finger up; transparent around it. Its fingertip is the hot spot.
Picture handCursor();
inline constexpr int kHandHotSpotX = 12;
inline constexpr int kHandHotSpotY = 10;

} // namespace mirevo
