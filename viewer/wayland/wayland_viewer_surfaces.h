#pragma once
// The viewer's surfaces in a Wayland session: one per output, full screen on it and above the desktop's
// panels (the layer shell's overlay layer where the compositor offers it, a full-screen toplevel on that
// output otherwise), all drawn with one OpenGL compatibility context through EGL. The floor is drawn once for
// all outputs of one buffer size and scale, off screen, and read once into a shared-memory buffer of the
// viewer's own that each of their surfaces commits (MIREVO_WAYLAND_FRAMES=window, for the benchmark, draws
// each into an EGL window surface of its own instead, as where the driver lacks what that needs). The surfaces follow the
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
    // What a frame is drawn for: a group of surfaces that share one (outputs of one size and scale show the
    // same floor), or, where each is drawn into an EGL window surface of its own, one surface. Change only
    // within dispatch().
    size_t targets() const;
    // Whether target t takes a frame now: one of its surfaces may have one, and there is a buffer to read it
    // into (one the compositor still holds is never written). If so, its drawable is current and its size
    // in pixels given.
    bool beginFrame(size_t t, int& width, int& height);
    // The floor was drawn for target t in this pose: each of its surfaces that may have it holds it until
    // swap(i); one that waits to commit an older frame commits this one instead.
    void endFrame(size_t t, const FramePose& pose);
    // Shows what was drawn for surface i and asks the compositor to say when it has shown it; does not wait
    // for the display.
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
