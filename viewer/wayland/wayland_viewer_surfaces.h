#pragma once
// The viewer's surfaces in a Wayland session: one per output, full screen on it and above the desktop's
// panels (the layer shell's overlay layer where the compositor offers it, a full-screen toplevel on that
// output otherwise), all drawn with one OpenGL compatibility context through EGL. The surfaces follow the
// outputs: one plugged in gets a surface at once (black until its first floor), one unplugged takes its own
// away while the others go on, and a buffer follows its output's scale and size. Each surface is opaque, its
// buffers without alpha, and a frame's damage is what the floor covers now or did in the frame before, where
// the driver takes damage. The surfaces take the keyboard while they show and hide the cursor over them;
// keys arrive as KeyState presses, the mouse does nothing.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/result.h"
#include "viewer/scene/scene_motion.h"
#include "viewer/wayland/output_frames.h"
#include "viewer/wayland/surface_role.h"

namespace mirevo {
class WaylandConnection;
}

namespace mirevo::viewer {

class KeyState;

class WaylandViewerSurfaces {
public:
    // Connects to the compositor WAYLAND_DISPLAY names, makes a surface on every output and waits (up to
    // limit) until each is placed and sized, with the GL context current. Why not, otherwise.
    static Result<std::unique_ptr<WaylandViewerSurfaces>, std::string> open(KeyState& keys,
                                                                           std::chrono::milliseconds limit);
    ~WaylandViewerSurfaces();
    WaylandViewerSurfaces(const WaylandViewerSurfaces&) = delete;
    WaylandViewerSurfaces& operator=(const WaylandViewerSurfaces&) = delete;

    SurfaceRole role() const { return role_; }
    // The EGL configuration drawn with and how damage is told, for the trace: "rgba 8880 depth 16, ...".
    const std::string& configDescription() const;
    // The surfaces, in frames()' order; both change only within dispatch().
    size_t count() const;
    // Makes surface i's drawable current; its size in pixels.
    void makeCurrent(size_t i, int& width, int& height);
    // The floor was drawn on surface i in this pose: the frame is held until swap(i).
    void drawn(size_t i, const FramePose& pose);
    // Shows what was drawn on surface i and asks the compositor to say when it has shown it;
    // does not wait for the display.
    void swap(size_t i);
    // Each surface's frames: which are held, which may be committed now. swap(), drawn() and the callbacks
    // keep it.
    OutputFrames& frames();
    // The outputs' fastest refresh rate in Hz, 0 when unknown.
    double refreshRate() const;
    // Reads and handles what the compositor sent within timeout (0: only what is there); the wait ends early
    // on the compositor's first word or a stop signal. False once the compositor has gone or closed a surface
    // on an output it still has (the run ends then).
    bool dispatch(std::chrono::milliseconds timeout);

    struct State;

private:
    WaylandViewerSurfaces() = default;
    std::unique_ptr<State> state_;
    SurfaceRole role_ = SurfaceRole::Overlay;
};

} // namespace mirevo::viewer
