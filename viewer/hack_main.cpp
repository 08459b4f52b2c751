// mirevo-hack: the viewer for saver managers (xscreensaver, mate-screensaver, xfce4-screensaver), drawing into
// the window the manager names; the same hack as Mirevo.dll with arguments, in a program that loads only what
// a hack needs before its first frame (X11 and the GL: no SDL, no Wayland, no sound output until a copy plays).
#include "common/log.h"
#include "common/program_names.h"
#include "viewer/hack/hack_run.h"

int main(int argc, char** argv) {
    mirevo::startLog(mirevo::kHackProgramName);
    return mirevo::viewer::runWithArguments(argc, argv);
}
