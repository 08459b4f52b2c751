#include "saver/x11_saver_desktop.h"

#include "common/program_names.h"
#include "common/x11/x11_window_search.h"
#include "saver/preview/preview_window.h"
#include "saver/session/x11_cursor.h"
#include "saver/session/x11_screen_grab.h"

namespace mirevo {

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
    x11HideCursor(display_);
}

void X11SaverDesktop::showCursor() {
    x11ShowCursor(display_);
}

bool X11SaverDesktop::showPreview(int32_t hostHandle) {
    return ShowPreview(hostHandle);
}

std::unique_ptr<RowSource> X11SaverDesktop::grabScreen() {
    return openScreenRows(display_, primaryScreenArea(display_));
}

void X11SaverDesktop::markRunningSession() {
    sessionWindow_.emplace(display_, kSessionWindowTitle);
}

} // namespace mirevo
