#include "viewer/hack/hack_run.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "common/log.h"
#include "common/posix/large_heap.h"
#include "common/posix/paths.h"
#include "common/posix/posix_stop_signals.h"
#include "common/x11/x11_display.h"
#include "viewer/picture/desktop_picture.h"
#include "viewer/scene/fps_figure.h"
#include "viewer/scene/frame_pacer.h"
#include "viewer/scene/gl_scene.h"
#include "viewer/hack/hack_arguments.h"
#include "viewer/hack/hack_music.h"
#include "viewer/scene/resuming_clock.h"
#include "viewer/scene/scene_motion.h"
#include "viewer/scene/scene_texture.h"
#include "viewer/picture/rgba_levels.h"
#include "viewer/picture/snapshot_preload.h"
#include "viewer/scene/trace.h"
#include "viewer/x11/x11_desktop_picture.h"
#include "viewer/x11/x11_hack_window.h"
#include "viewer/hack/xscreensaver_file.h"
#include "viewer/hack/xscreensaver_install.h"
#include "viewer/hack/xscreensaver_read.h"

namespace mirevo::viewer {

namespace {

// How often a wait in the start-up looks for a stop.
constexpr int kStopLookMs = 20;
// Memory faulted in ahead for a large buffer is this much larger, for the small allocations that may take a
// part of it first; for the texture's storage, also more than the upload makes ready itself, so that the
// upload finds this memory large enough to take.
constexpr size_t kHeapRoom = size_t{2} << 20;

std::optional<std::string> readText(const std::string& path) {
    auto file = readXscreensaverFile(path, "its settings are not read");
    if (!file) return std::nullopt;
    return std::move(file->bytes);
}

bool userAllowsDesktopImages() {
    return desktopImagesAllowed(readText(userXscreensaverFile()), readText(kXscreensaverDefaults));
}

uint64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

struct PreparedPicture {
    PreparedSnapshot prepared;
    PictureSource source = PictureSource::BuiltIn;
    // The texture's storage, which the upload allocates and fills at once, faulted in meanwhile.
    HeapReserve textureMemory;
};

PreparedPicture takePicture(unsigned long window) {
    const Trace trace;
    // The picture's rows, allocated as soon as the reading starts.
    const auto prepareRows = [](int width, int height) {
        HeapReserve(pictureRowBytes(width) * static_cast<size_t>(std::max(height, 0)) + kHeapRoom).release();
    };
    DesktopPicture picture =
        takeDesktopPictureOnOwnConnection(window, userAllowsDesktopImages(), kSideEveryGlTakes, prepareRows);
    trace.mark("picture-read");
    // With room for the GL's alignment of its levels and what the upload allocates before them.
    const size_t texture = rgbaLevelsBytes(picture.image.width, picture.image.height);
    HeapReserve textureMemory(texture + texture / 32 + kHeapRoom);
    PreparedPicture prepared{preparePicture(std::move(picture.image)), picture.source, std::move(textureMemory)};
    trace.mark("picture-ready");
    return prepared;
}

// The desktop picture, read on a thread of its own while the GL is set up. A picture
// larger than the GL's largest texture (rare beyond kSideEveryGlTakes) is reduced again by the upload. The
// thread is not joined: a hack asked to stop while it works ends without waiting for it.
std::future<PreparedPicture> startPicture(unsigned long window) {
    auto promise = std::make_shared<std::promise<PreparedPicture>>();
    auto future = promise->get_future();
    try {
        std::thread([window, promise] { promise->set_value(takePicture(window)); }).detach();
    } catch (const std::system_error&) {
        promise->set_value(takePicture(window));
    }
    return future;
}

// The picture once it is ready; nothing when a stop came first.
std::optional<PreparedPicture> waitForPicture(std::future<PreparedPicture>& picture) {
    while (picture.wait_for(std::chrono::milliseconds(kStopLookMs)) != std::future_status::ready)
        if (stopRequested()) return std::nullopt;
    return picture.get();
}

int runHack(const ViewerArguments& arguments) {
    // The manager stops its hacks with SIGTERM; SIGHUP ends one at once, as it always has.
    catchStopSignals(HangUp::KeepsDefault);
    if (!stopWithParent()) return 0;
    X11HackWindow::endWhenTheServerGoes();
    Trace trace;
    trace.mark("start");
    // Until the texture is built; before the picture's thread starts.
    std::optional<HeapStartUp> heapStartUp(std::in_place);
    // Two threads talk to the X server, each on its own connection.
    X11Display::allowThreads();
    auto pictureJob = startPicture(arguments.window);
    auto opened = X11HackWindow::open(arguments.window);
    if (!opened && opened.reason().step == X11HackWindow::OpenFailure::Step::WindowGone) return 0;
    if (!opened) {
        logError(opened.reason().why);
        return 1;
    }
    std::unique_ptr<X11HackWindow> window = std::move(*opened);
    std::fprintf(stderr, "PixelFormat Selected: %d\nBPP: %d\n", window->visualId(), window->depth());
    const double startSeconds = Trace::monotonicSeconds();
    {
        SceneTexture texture;
        trace.mark("context");
        if (pictureJob.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            primeScene(window->width(), window->height());
            window->swap();
            trace.mark("primed");
        }
        {
            auto waited = waitForPicture(pictureJob);
            if (!waited) return 0;
            PreparedPicture& picture = *waited;
            if (trace.on() && picture.prepared.image)
                trace.mark("picture", std::string(describe(picture.source)) + " " +
                                          std::to_string(picture.prepared.image->width) + "x" +
                                          std::to_string(picture.prepared.image->height));
            picture.textureMemory.release();
            InitScene(window->width(), window->height(), texture, describe(picture.source), picture.prepared,
                      [] { return !stopRequested(); });
            trace.mark("texture");
        }
        // The GL holds the picture now: its copies here go back to the system.
        heapStartUp.reset();
        resizeScene(window->width(), window->height());
        drawLean();

        ResumingClock clock(1000000000u, monotonicNanoseconds());
        SceneMotion motion;
        // A ceiling asked for holds whatever the display does; otherwise the display's pace.
        FramePacer pacer = arguments.maxFps ? FramePacer::ceiling(*arguments.maxFps)
                                            : FramePacer::forRenderer(0, drawsOnTheProcessor());
        FrameRateCounter rate;
        std::unique_ptr<HackMusic> music;
        unsigned long frames = 0;
        while (!stopRequested()) {
            bool resized = false;
            if (!window->handleEvents(resized)) break;
            if (resized) resizeScene(window->width(), window->height());
            const double now = Trace::monotonicSeconds();
            const double wait = pacer.secondsUntilDue(now - startSeconds);
            if (wait > 0) {
                window->waitForEvents(static_cast<int>(wait * 1000.0) + 1, stopSignalFd());
                continue;
            }
            const FrameTimes times = clock.tick(monotonicNanoseconds());
            DrawScene(motion.step(times.elapsedSeconds, times.frameSeconds), texture);
            if (arguments.showFps) {
                rate.frameAt(now);
                const int cell = std::max(2, window->height() / 160);
                drawCells(figureCells(std::to_string(rate.figure())), window->width(), window->height(), cell);
            }
            window->swap();
            pacer.frameDone(now - startSeconds, Trace::monotonicSeconds() - startSeconds);
            if (++frames == 1) {
                trace.mark("first-frame");
                // After the first frame, so that the picture shows as soon as it can.
                // A preview in a settings window stays silent and leaves the music to the saver.
                if (runsAsTheSaver(arguments, {window->width(), window->height()},
                                   {window->screenWidth(), window->screenHeight()}))
                    music = HackMusic::startIfFirst(thisProgramFolder(), Trace::monotonicSeconds());
                trace.mark("music", music ? "on" : "off");
            }
            if (music) music->tick(Trace::monotonicSeconds());
        }
        if (trace.on()) trace.mark("frames", std::to_string(frames));
        // The texture name goes while its context still exists; the music stops before the window goes.
    }
    window->deleteContext();
    return 0;
}

} // namespace

int runWithArguments(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const char* environmentWindow = std::getenv("XSCREENSAVER_WINDOW");
    const auto arguments = parseViewerArguments(
        args, environmentWindow ? std::optional<std::string>(environmentWindow) : std::nullopt);
    if (!arguments) {
        logError(arguments.reason() + "; " + kHackUsage);
        return 1;
    }
    switch (arguments->mode) {
    case ViewerMode::Hack: {
        const int code = runHack(*arguments);
        // Ended without the exit handlers: the picture's thread may still be talking to the server (it is never
        // waited for), and the libraries' teardown under its feet would crash it.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    case ViewerMode::InstallXscreensaver:
        return editXscreensaverPrograms(true);
    case ViewerMode::UninstallXscreensaver:
        return editXscreensaverPrograms(false);
    case ViewerMode::Standalone:
        break;
    }
    logError(std::string("no window to draw into; ") + kHackUsage);
    return 1;
}

} // namespace mirevo::viewer
