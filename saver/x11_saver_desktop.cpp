#include "saver/x11_saver_desktop.h"

#include "common/log.h"
#include "common/program_names.h"
#include "common/x11/x11_error_trap.h"
#include "common/x11/x11_window_search.h"
#include "saver/preview/preview_window.h"
#include "saver/session/x11_screen_grab.h"

#include <X11/extensions/Xfixes.h>

namespace mirevo {
namespace {

bool haveXFixes(Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    // Hiding the cursor came with version 4.
    return XFixesQueryExtension(display, &eventBase, &errorBase) &&
           XFixesQueryVersion(display, &major, &minor) && major >= 4;
}

// The cursor over the whole screen. The server keeps it hidden only while the connection that hid it lives.
void setCursorShown(Display* display, bool shown) {
    if (!display || !haveXFixes(display)) return;
    X11ErrorTrap trap(display);
    if (shown)
        XFixesShowCursor(display, DefaultRootWindow(display));
    else
        XFixesHideCursor(display, DefaultRootWindow(display));
    XFlush(display);
}

} // namespace

bool X11SaverDesktop::takeInstanceLock() {
    lock_ = std::make_unique<X11InstanceLock>(display_);
    return lock_->state() != X11InstanceLock::State::HeldElsewhere;
}

bool X11SaverDesktop::windowExists(const std::string& title) {
    return x11WindowExists(display_, title);
}

void X11SaverDesktop::bringToFront(const std::string& title) {
    x11BringToFront(display_, x11FindWindow(display_, title));
}

void X11SaverDesktop::hideCursor() {
    setCursorShown(display_, false);
}

void X11SaverDesktop::showCursor() {
    setCursorShown(display_, true);
}

bool X11SaverDesktop::showPreview(int32_t hostHandle) {
    return ShowPreview(hostHandle);
}

std::unique_ptr<RowSource> X11SaverDesktop::grabScreen() {
    const ScreenArea area = primaryScreenArea(display_);
    if (logShows(LogLevel::Debug))
        logDebug("picture source: the X11 grab of the screen, " + std::to_string(area.width) + "x" +
                 std::to_string(area.height) + " at " + std::to_string(area.x) + "," + std::to_string(area.y) +
                 " (the platform is X11: the X server gives its own pixels)");
    return openScreenRows(display_, area);
}

void X11SaverDesktop::markRunningSession() {
    sessionWindow_.emplace(display_, kSessionWindowTitle);
}

} // namespace mirevo
