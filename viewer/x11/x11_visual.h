#pragma once
// The X visual the GL window was given and the depth of its colours: what the pixel-format report names.
#include <optional>

struct SDL_Window;

namespace mirevo::viewer {

struct VisualReport {
    int visualId = 0;
    int depth = 0;
};

std::optional<VisualReport> x11WindowVisual(SDL_Window* window);

} // namespace mirevo::viewer
