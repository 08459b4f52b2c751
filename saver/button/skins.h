#pragma once
// The six skin pictures the button's border is cut from, drawn once from a small table of colours.
#include <array>
#include <cstdint>

#include "saver/button/button_state_machine.h"

namespace mirevo {

struct SkinPicture {
    static constexpr int kWidth = 64, kHeight = 25;
    std::array<uint32_t, kWidth * kHeight> pixels{}; // 0xRRGGBB, top row first

    uint32_t at(int x, int y) const { return pixels[size_t(y) * kWidth + x]; }
    uint32_t& at(int x, int y) { return pixels[size_t(y) * kWidth + x]; }
};

// Made on first use and kept for the program's life.
const SkinPicture& skinPicture(Skin skin);

// a + (b - a) * step / steps per channel, to the nearest integer.
uint32_t blendRgb(uint32_t a, uint32_t b, int step, int steps);

} // namespace mirevo
