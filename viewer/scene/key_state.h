#pragma once
// Key state by key code (0..255; Escape is 27, as both X/SDL key symbols and the Windows virtual keys have
// it). An Escape press is kept until a frame has seen it: a press and its release can both arrive between two
// frames (a quick tap, or keys sent by a program), and the user still meant to quit.
#include <array>
#include <cstdint>

namespace mirevo::viewer {

class KeyState {
public:
    static constexpr int kEscape = 27;

    void press(int32_t code) {
        if (code < 0 || code >= static_cast<int32_t>(keyDown_.size())) return;
        keyDown_[code] = 1;
        if (code == kEscape) escapePressed_ = true;
    }
    void release(int32_t code) {
        if (code >= 0 && code < static_cast<int32_t>(keyDown_.size())) keyDown_[code] = 0;
    }
    bool down(int32_t code) const { return code >= 0 && code < 256 && keyDown_[code] == 1; }
    // Asked once per frame.
    bool quitRequested() const { return escapePressed_ || down(kEscape); }

private:
    std::array<uint8_t, 256> keyDown_{};
    bool escapePressed_ = false;
};

} // namespace mirevo::viewer
