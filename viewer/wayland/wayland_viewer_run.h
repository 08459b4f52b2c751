#pragma once
// The saver's viewer in a Wayland session: the floor on every output until Escape, a stop signal, or the
// saver's end.

namespace mirevo::viewer {

// Returns the viewer's exit code.
int runWaylandViewer();

} // namespace mirevo::viewer
