#include "saver/wayland_saver_desktop.h"

#include <cstdio>

#include "common/built_in_picture.h"
#include "common/log.h"
#include "common/program_names.h"
#include "saver/session/qt_screenshot_services.h"
#include "saver/session/wayland_screencopy.h"
#include "saver/wayland_instance_lock.h"

namespace mirevo {
namespace {

// Mirevo's own picture, as the snapshot of a desktop that gives none.
std::unique_ptr<ComposedPicture> builtInSnapshot() {
    auto picture = std::make_unique<ComposedPicture>(kBuiltInWidth, kBuiltInHeight);
    for (int y = 0; y < kBuiltInHeight; ++y)
        for (int x = 0; x < kBuiltInWidth; ++x)
            picture->set(x, y, builtInPixel(x, kBuiltInHeight - 1 - y, kBuiltInWidth, kBuiltInHeight));
    return picture;
}

// The settings dialog's offer to allow taking the desktop's picture, where the desktop's portal would ask.
class PortalConsent final : public DesktopPictureConsent {
public:
    bool needed() override {
        return desktopPictureNeedsConsent(std::chrono::steady_clock::now() + kConsentLimit);
    }
    Result<void, std::string> give() override {
        return allowDesktopPicture(std::chrono::steady_clock::now() + kConsentLimit);
    }

private:
    // The dialog waits for these answers: a bus or store that is slow to answer is taken as none.
    static constexpr std::chrono::seconds kConsentLimit{3};
};

} // namespace

std::vector<PictureSource> waylandPictureSources() {
    return {wlrScreenCopySource(), kwinScreenShotSource(), portalScreenshotSource()};
}

bool WaylandSaverDesktop::takeInstanceLock() {
    // There is no window search to fall back on: without the lock, no start.
    lock_.emplace(
        takeWaylandInstanceLock(logError));
    return lock_->state() == FileLockState::Taken;
}

bool WaylandSaverDesktop::windowExists(const std::string& title) {
    return title == kViewerWindowTitle;
}

bool WaylandSaverDesktop::showPreview(int32_t) {
    logError("the preview (/p) needs an X window handle; this Wayland session has none.");
    return false;
}

std::unique_ptr<RowSource> WaylandSaverDesktop::grabScreen() {
    PictureOutcome outcome = firstPicture(sources_, std::chrono::steady_clock::now, kPictureSourceLimit,
                                          [this] { return stopRequested(); });
    // Asked to end meanwhile: no picture, and nothing to say about it.
    if (outcome.stopped) return nullptr;
    if (outcome.picture) {
        std::string before;
        for (const std::string& line : outcome.failures)
            before += (before.empty() ? "" : "; ") + line;
        logDebug("picture source: " + outcome.from +
                 (before.empty() ? std::string(" (the first way this desktop was asked)")
                                 : " (the ways asked before it gave none: " + before + ")"));
        return std::make_unique<ComposedPicture>(std::move(*outcome.picture));
    }
    for (const std::string& line : outcome.failures)
        report("no desktop picture from " + line);
    logDebug("picture source: Mirevo's own picture (no way of this desktop gave its picture)");
    // Never a black floor, and never yesterday's desktop: Mirevo's own picture is the snapshot.
    report("the floor shows Mirevo's own picture.");
    return builtInSnapshot();
}

std::unique_ptr<DesktopPictureConsent> WaylandSaverDesktop::desktopPictureConsent() {
    return std::make_unique<PortalConsent>();
}

} // namespace mirevo
