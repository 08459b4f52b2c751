#include "saver/session/x11_session_desktop.h"

#include "common/program_names.h"
#include "common/x11/x11_window_search.h"
#include "saver/session/x11_cursor.h"
#include "saver/session/x11_screen_grab.h"

namespace mirevo {

X11SessionDesktop::X11SessionDesktop(Display* display)
    : display_(display), window_(display, kSessionWindowTitle) {}

std::unique_ptr<RowSource> X11SessionDesktop::grabScreen() {
    return openScreenRows(display_, primaryScreenArea(display_));
}

bool X11SessionDesktop::windowExists(const std::string& title) {
    return x11WindowExists(display_, title);
}

void X11SessionDesktop::showCursor() {
    x11ShowCursor(display_);
}

} // namespace mirevo
