// Mirevo.dll: shows the desktop snapshot as a floor that turns, rocks and drifts in black space until Escape.
// With arguments it is a saver manager's hack instead, drawing into the window the manager names.
#include "viewer/hack/hack_run.h"
#include "viewer/standalone/standalone_run.h"

int main(int argc, char** argv) {
    if (argc > 1) return mirevo::viewer::runWithArguments(argc, argv);
    return mirevo::viewer::runStandalone();
}
