#include "saver/session/wayland_session_desktop.h"

#include <cstdio>

#include "common/built_in_picture.h"
#include "common/posix/posix_stop_signals.h"
#include "common/program_names.h"
#include "saver/session/wayland_screencopy.h"

namespace mirevo {

std::unique_ptr<RowSource> WaylandSessionDesktop::grabScreen() {
    PictureOutcome outcome =
        firstPicture(sources_, std::chrono::steady_clock::now, kPictureSourceLimit, [] { return stopRequested(); });
    // Asked to end meanwhile: no picture, and nothing to say about it.
    if (outcome.stopped) return nullptr;
    if (outcome.picture) return std::make_unique<ComposedPicture>(std::move(*outcome.picture));
    for (const std::string& line : outcome.failures)
        std::fprintf(stderr, "Mirevo.scr: no desktop picture from %s\n", line.c_str());
    // Never a black floor, and never yesterday's desktop: Mirevo's own picture is the snapshot.
    std::fprintf(stderr, "Mirevo.scr: the floor shows Mirevo's own picture.\n");
    return builtInSnapshot();
}

std::unique_ptr<ComposedPicture> builtInSnapshot() {
    auto picture = std::make_unique<ComposedPicture>(kBuiltInWidth, kBuiltInHeight);
    for (int y = 0; y < kBuiltInHeight; ++y)
        for (int x = 0; x < kBuiltInWidth; ++x)
            picture->set(x, y, builtInPixel(x, kBuiltInHeight - 1 - y, kBuiltInWidth, kBuiltInHeight));
    return picture;
}

bool WaylandSessionDesktop::windowExists(const std::string& title) {
    return title == kViewerWindowTitle;
}

} // namespace mirevo
