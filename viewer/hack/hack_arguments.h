#pragma once
// The viewer's command line. Without arguments it is the saver's viewer; with the arguments saver managers
// (xscreensaver, mate-screensaver, xfce4-screensaver) pass their hacks, it draws into the window they name.
#include <optional>
#include <string>
#include <vector>

#include "common/result.h"

namespace mirevo::viewer {

enum class ViewerMode {
    Standalone,            // no arguments: the saver's own viewer
    Hack,                  // draw into a manager's window
    InstallXscreensaver,   // add the hack to ~/.xscreensaver's programs list
    UninstallXscreensaver, // take it out again
};

struct ViewerArguments {
    ViewerMode mode = ViewerMode::Standalone;
    unsigned long window = 0; // the window to draw into, for Hack
    bool root = false;        // the window is the manager's own (--root), not one named by --window-id
    bool showFps = false;
};

inline constexpr const char* kHackUsage =
    "usage: mirevo-hack [--root | --window-id ID] [--fps] | --install-xscreensaver | --uninstall-xscreensaver";

struct WindowSize {
    int width = 0, height = 0;
};

// Whether this copy is the saver itself, filling a monitor (the manager's own window, or a window the size of
// its screen), rather than a preview in a settings window: only the saver plays the music.
bool runsAsTheSaver(const ViewerArguments& arguments, WindowSize window, WindowSize screen);

// A window id as X tools print it: hex with 0x, or decimal; nothing for 0, junk or overflow.
std::optional<unsigned long> parseWindowId(const std::string& text);

// args without the program name; xscreensaverWindow is $XSCREENSAVER_WINDOW (nothing when unset). Options
// take one dash or two; --window-id wins over --root. Anything else is refused with what was wrong, to go
// before the usage line.
Result<ViewerArguments, std::string> parseViewerArguments(const std::vector<std::string>& args,
                                     const std::optional<std::string>& xscreensaverWindow);

} // namespace mirevo::viewer
