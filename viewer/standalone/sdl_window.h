#pragma once
// The viewer's window through SDL: one borderless 1024 x 768 window titled "Tovik_VC" at 0, 0 with a
// double-buffered RGBA GL context and a depth buffer, the cursor hidden over it.
#include <memory>
#include <string>

#include "common/result.h"

struct SDL_Window;

namespace mirevo::viewer {

inline constexpr int kViewerWidth = 1024;
inline constexpr int kViewerHeight = 768;

class SdlViewerWindow {
public:
    struct OpenFailure {
        enum class Step { NoDisplay, NoWindow } step;
        std::string why; // SDL's text
    };

    // Starts SDL's video on the X display and opens the window, hidden until show().
    static Result<std::unique_ptr<SdlViewerWindow>, OpenFailure> open();
    ~SdlViewerWindow();
    SdlViewerWindow(const SdlViewerWindow&) = delete;
    SdlViewerWindow& operator=(const SdlViewerWindow&) = delete;

    SDL_Window* window() const { return window_; }
    void show();
    void drawableSize(int& width, int& height) const;
    // The display's refresh rate in Hz, 0 when unknown.
    int refreshRate() const;
    void swap();
    // The context goes first: made non-current and deleted. Safe to call more than once.
    void deleteContext();

private:
    SdlViewerWindow() = default;
    bool videoStarted_ = false;
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
};

} // namespace mirevo::viewer
