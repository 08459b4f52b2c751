#pragma once
// The session's desktop in a Wayland session. The picture comes from the first source that gives one: the
// wlroots screen copy, KWin's screenshot service, the desktop portal; otherwise it is Mirevo's own. Wayland has no window search and no
// cursor of the whole screen: the viewer's process stands for its surfaces (the watch ends the session when
// it exits), and the viewer hides the cursor over its own surfaces.
#include <vector>

#include "saver/session/picture_sources.h"
#include "saver/session/session_desktop.h"

namespace mirevo {

class WaylandSessionDesktop final : public SessionDesktop {
public:
    // The sources in the order they are asked.
    explicit WaylandSessionDesktop(std::vector<PictureSource> sources) : sources_(std::move(sources)) {}
    std::unique_ptr<RowSource> grabScreen() override;
    bool windowExists(const std::string& title) override;
    void showCursor() override {}

private:
    std::vector<PictureSource> sources_;
};

// Mirevo's own picture, as the snapshot of a desktop that gives none.
std::unique_ptr<ComposedPicture> builtInSnapshot();

} // namespace mirevo
