#pragma once
// What the settings window asks of the window manager: a caption and a close box, and neither a minimise nor
// a maximise box (a fixed dialog). The window type, in order of preference, and the Motif hints.
#include <string>
#include <vector>

namespace mirevo {

struct FrameRequest {
    std::vector<std::string> windowTypes; // _NET_WM_WINDOW_TYPE atom names, the preferred first
    long motifFlags = 0, motifFunctions = 0, motifDecorations = 0;
};

// windowManager: the name the running window manager publishes (_NET_WM_NAME of its check window), empty
// when none does.
FrameRequest closeBoxOnlyFrame(const std::string& windowManager);

} // namespace mirevo
