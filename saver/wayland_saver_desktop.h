#pragma once
// The saver's desktop in a Wayland session: a file lock per compositor as the one lock; no window search (the
// lock alone tells a running session or dialog, and the viewer's process stands for its surfaces); no cursor
// of the whole screen to hide (the viewer hides it over its own surfaces); no X window to show a preview in;
// the desktop's picture from the first source that gives one, otherwise Mirevo's own; and the settings
// dialog's offer to allow the desktop's picture where its portal would ask.
#include <optional>
#include <vector>

#include "common/posix/file_lock.h"
#include "saver/saver_desktop.h"
#include "saver/session/picture_sources.h"

namespace mirevo {

// The desktop's picture sources in the order they are asked: the wlroots screen copy, KWin's screenshot
// service, the desktop portal.
std::vector<PictureSource> waylandPictureSources();

class WaylandSaverDesktop final : public SaverDesktop {
public:
    // state outlives the desktop; the picture's sources are asked in their order.
    explicit WaylandSaverDesktop(ProgramState& state,
                                 std::vector<PictureSource> sources = waylandPictureSources())
        : SaverDesktop(state), sources_(std::move(sources)) {}
    ~WaylandSaverDesktop() override { endSession(); }

    bool takeInstanceLock() override;
    // Only the viewer's window counts as there, while its process runs: the watch ends the session when the
    // process exits.
    bool windowExists(const std::string& title) override;
    // A Wayland client may not raise another's window: the dialog already open stays where it is.
    void bringToFront(const std::string&) override {}
    void hideCursor() override {}
    void showCursor() override {}
    bool showPreview(int32_t hostHandle) override;
    std::unique_ptr<RowSource> grabScreen() override;

protected:
    std::unique_ptr<DesktopPictureConsent> desktopPictureConsent() override;

private:
    std::vector<PictureSource> sources_;
    std::optional<FileLock> lock_;
};

} // namespace mirevo
