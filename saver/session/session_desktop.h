#pragma once
// What the session window needs of the desktop it runs on: X11 and Wayland each give it their own.
#include <memory>
#include <string>

#include "saver/session/snapshot_bitmap.h"

namespace mirevo {

class SessionDesktop {
public:
    virtual ~SessionDesktop() = default;
    // The desktop's picture, read as it is written; nothing when there is none to be had.
    virtual std::unique_ptr<RowSource> grabScreen() = 0;
    // Is there a top-level window with this title (the viewer's, for the watch)?
    virtual bool windowExists(const std::string& title) = 0;
    // Undoes the cursor hiding of a session started with switch S.
    virtual void showCursor() = 0;
};

} // namespace mirevo
