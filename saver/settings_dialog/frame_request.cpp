#include "saver/settings_dialog/frame_request.h"

namespace mirevo {
namespace {

// The Motif window manager hints (_MOTIF_WM_HINTS) that concern a frame.
constexpr long kMotifFunctionsFlag = 1, kMotifDecorationsFlag = 2;
constexpr long kMotifMove = 4, kMotifClose = 32;
constexpr long kMotifBorder = 2, kMotifTitle = 8, kMotifMenu = 16;

} // namespace

FrameRequest closeBoxOnlyFrame(const std::string& windowManager) {
    FrameRequest request;
    // Openbox reads the Motif functions only for moving and resizing, and keeps a minimise box on every
    // window but a toolbar or a menu. A toolbar keeps its title bar, close box and focus there.
    if (windowManager == "Openbox") request.windowTypes.push_back("_NET_WM_WINDOW_TYPE_TOOLBAR");
    request.windowTypes.push_back("_NET_WM_WINDOW_TYPE_DIALOG");
    request.motifFlags = kMotifFunctionsFlag | kMotifDecorationsFlag;
    request.motifFunctions = kMotifMove | kMotifClose;
    request.motifDecorations = kMotifBorder | kMotifTitle | kMotifMenu;
    return request;
}

} // namespace mirevo
