#include "viewer/x11/x11_visual.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

namespace mirevo::viewer {

std::optional<VisualReport> x11WindowVisual(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return std::nullopt;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes)) return std::nullopt;
    return VisualReport{static_cast<int>(XVisualIDFromVisual(attributes.visual)), attributes.depth};
}

} // namespace mirevo::viewer
