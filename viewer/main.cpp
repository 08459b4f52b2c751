// Mirevo.dll: shows the desktop snapshot as a floor that turns, rocks and drifts in black space until Escape.
// With arguments it is a saver manager's hack instead, drawing into the window the manager names.
#include <chrono>
#include <cstdio>

#include "common/platform_choice.h"
#include "common/wayland/wayland_connection.h"
#include "viewer/hack/hack_run.h"
#include "viewer/standalone/standalone_run.h"
#include "viewer/wayland/wayland_viewer_run.h"

int main(int argc, char** argv) {
    if (argc > 1) return mirevo::viewer::runWithArguments(argc, argv);
    // The saver names the platform it chose; started alone, the viewer chooses the same way.
    const auto platform = mirevo::choosePlatform(
        mirevo::platformEnvironment(), [] { return mirevo::waylandCompositorAnswers(std::chrono::seconds(3)); },
        "Mirevo.dll");
    if (!platform) {
        std::fprintf(stderr, "%s\n", platform.reason().c_str());
        return 1;
    }
    if (*platform == mirevo::Platform::Wayland) return mirevo::viewer::runWaylandViewer();
    return mirevo::viewer::runStandalone();
}
