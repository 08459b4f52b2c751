// Mirevo.dll: shows the desktop snapshot as a floor that turns, rocks and drifts in black space until Escape.
// With arguments it is a saver manager's hack instead, drawing into the window the manager names.
#include "common/log.h"
#include "common/program_names.h"
#include "common/wayland/session_platform.h"
#include "viewer/hack/hack_run.h"
#include "viewer/standalone/standalone_run.h"
#include "viewer/wayland/wayland_viewer_run.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        mirevo::startLog(mirevo::kHackProgramName);
        return mirevo::viewer::runWithArguments(argc, argv);
    }
    mirevo::startLog(mirevo::kViewerFileName);
    // The saver names the platform it chose; started alone, the viewer chooses the same way. Its stop signals
    // keep their default action until its loop watches them, so a stop ends a wait at once.
    auto platform = mirevo::chooseSessionPlatform(-1);
    if (!platform) {
        if (platform.reason().stopped) return 0;
        mirevo::logError(platform.reason().line);
        return 1;
    }
    // The surfaces make a connection of their own.
    platform->compositor.reset();
    if (platform->platform == mirevo::Platform::Wayland) return mirevo::viewer::runWaylandViewer();
    return mirevo::viewer::runStandalone();
}
