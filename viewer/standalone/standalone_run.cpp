#include "viewer/standalone/standalone_run.h"

#include <chrono>
#include <cstdio>
#include <string>

#include <SDL.h>

#include "common/log.h"
#include "common/posix/posix_stop_signals.h"
#include "common/session_bus.h"
#include "common/snapshot_path.h"
#include "viewer/scene/floor_hold.h"
#include "viewer/scene/frame_clock.h"
#include "viewer/scene/frame_pacer.h"
#include "viewer/scene/gl_scene.h"
#include "viewer/scene/key_state.h"
#include "viewer/scene/scene_motion.h"
#include "viewer/scene/scene_texture.h"
#include "viewer/standalone/sdl_window.h"
#include "viewer/picture/snapshot_preload.h"
#include "viewer/scene/trace.h"
#include "viewer/x11/x11_keyboard_focus.h"
#include "viewer/x11/x11_visual.h"

namespace mirevo::viewer {

namespace {

enum class EventOutcome { Continue, Quit };

EventOutcome handleEvent(const SDL_Event& event, KeyState& keys) {
    switch (event.type) {
    case SDL_KEYDOWN:
        keys.press(event.key.keysym.sym);
        break;
    case SDL_KEYUP:
        keys.release(event.key.keysym.sym);
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            setViewport(event.window.data1, event.window.data2);
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) return EventOutcome::Quit;
        break;
    case SDL_QUIT:
        return EventOutcome::Quit;
    default:
        break; // the mouse and everything else do nothing
    }
    return EventOutcome::Continue;
}

double counterSeconds(uint64_t ticks, uint64_t frequency) {
    return static_cast<double>(static_cast<long double>(ticks) / static_cast<long double>(frequency));
}

// While the snapshot loads the window still answers: Escape, a close request, SIGTERM or SIGINT end the
// viewer before its first frame.
class LoadingWindow {
public:
    LoadingWindow(KeyState& keys, X11KeyboardFocus& focus, FloorHold& hold) : keys_(keys), focus_(focus), hold_(hold) {}
    // Handles what has arrived, waiting up to waitMs for the first event; false once asked to quit.
    bool answer(int waitMs) {
        SDL_Event event;
        if (!quit_ && SDL_WaitEventTimeout(&event, waitMs)) {
            do
                quit_ = handleEvent(event, keys_) == EventOutcome::Quit;
            while (!quit_ && SDL_PollEvent(&event));
        }
        focus_.poll(keys_);
        return !quit_ && !hold_.ends(keys_.quitRequested()) && !mirevo::stopRequested();
    }
    // Waits for the snapshot; false when asked to quit first.
    bool waitFor(SnapshotPreload& snapshot) {
        while (!snapshot.ready(std::chrono::milliseconds(0)))
            if (!answer(10)) return false;
        return answer(0);
    }

private:
    KeyState& keys_;
    X11KeyboardFocus& focus_;
    FloorHold& hold_;
    bool quit_ = false;
};

// Scene set-up with the snapshot read ahead; the picture's buffers go once the GL has its copy. False when
// the viewer was asked to quit meanwhile.
bool setUpScene(int width, int height, SceneTexture& texture, SnapshotPreload& snapshot,
                LoadingWindow& window, const Trace& trace) {
    double start = Trace::monotonicSeconds();
    if (!window.waitFor(snapshot)) return false;
    double waited = Trace::monotonicSeconds() - start;
    PreparedSnapshot prepared = snapshot.take();
    const auto loaded =
        InitScene(width, height, texture, snapshot.path(), prepared, [&window] { return window.answer(0); });
    if (trace.on()) {
        char detail[160];
        std::snprintf(detail, sizeof detail, "%.3fms (waited %.3fms for the file) %s %s %dx%d",
                      (Trace::monotonicSeconds() - start) * 1000.0, waited * 1000.0,
                      texture.lastPath() ? describe(*texture.lastPath()) : "none",
                      describe(loaded ? BmpRefusal::None : loaded.reason()), texture.width(), texture.height());
        trace.mark("texture", detail);
    }
    return window.answer(0);
}

// The message loop: events first, a frame whenever none is waiting (and pacing does not hold it back), until
// Escape, a close request, SIGTERM or SIGINT. Returns the number of frames drawn.
unsigned long runFrames(SdlViewerWindow& viewer, const SceneTexture& texture, FrameClock& clock,
                        uint64_t frequency, KeyState& keys, X11KeyboardFocus& focus, FloorHold& hold,
                        const Trace& trace) {
    SceneMotion motion;
    FramePacer pacer = FramePacer::forRenderer(viewer.refreshRate(), drawsOnTheProcessor());
    unsigned long frames = 0;
    while (!mirevo::stopRequested()) {
        SDL_Event event;
        bool gotEvent = SDL_PollEvent(&event) != 0;
        if (!gotEvent) {
            // Nothing waiting: a frame, unless pacing holds it back; an event ends the wait early.
            double now = counterSeconds(SDL_GetPerformanceCounter(), frequency);
            int waitMs = static_cast<int>(pacer.secondsUntilDue(now) * 1000.0);
            if (waitMs > 0) {
                if (!SDL_WaitEventTimeout(&event, waitMs)) continue;
                gotEvent = true;
            }
        }
        if (gotEvent) {
            if (handleEvent(event, keys) == EventOutcome::Quit) break;
            continue;
        }
        focus.poll(keys);

        uint64_t now = SDL_GetPerformanceCounter();
        FrameTimes times = clock.tick(now);
        if (hold.ends(keys.quitRequested())) break;
        if (hold.lockComing()) focus.letGo();
        DrawScene(motion.step(times.elapsedSeconds, times.frameSeconds), texture);
        viewer.swap();
        bool wasPacing = pacer.pacing();
        pacer.frameDone(counterSeconds(now, frequency),
                        counterSeconds(SDL_GetPerformanceCounter(), frequency));
        if (++frames == 1) {
            trace.mark("first-frame");
            hold.floorShown();
        }
        if (pacer.pacing() != wasPacing) trace.mark("pacing", pacer.pacing() ? "on" : "off");
    }
    return frames;
}

} // namespace

int runStandalone() {
    // Before anything else, so that a saver ending from now on ends the viewer too; and before SDL starts, so
    // that SDL leaves the signals alone (it would restore their default action on its way out, and a late
    // SIGTERM would then kill the viewer instead of letting it end). SIGHUP ends it at once, as it always has.
    catchStopSignals(HangUp::KeepsDefault);
    if (!stopWithParent()) return 0;
    // SDL asks for a session bus (screen saver, input method); run alone, none is started for it.
    mirevo::forbidSessionBusAutolaunch();
    Trace trace;
    trace.mark("start");
    SnapshotPreload snapshot(mirevo::snapshotPath(false));
    auto opened = SdlViewerWindow::open();
    if (!opened) {
        const SdlViewerWindow::OpenFailure& failure = opened.reason();
        if (failure.step == SdlViewerWindow::OpenFailure::Step::NoDisplay) {
            logError("cannot open the X display (" + failure.why + ")");
            return 1;
        }
        // The saver sees no "Tovik_VC" window and ends; say why for whoever reads the output.
        logError("cannot create the OpenGL window (" + failure.why + ")");
        return 0;
    }
    std::unique_ptr<SdlViewerWindow> viewer = std::move(*opened);
    // A picture larger than the GL takes is reduced while it is read; its smaller levels are averaged ahead
    // only for a GL that is given them.
    const GlCapabilities gl = currentGlCapabilities();
    snapshot.setMaxTextureSide(gl.maxTextureSize, levelsWantedBy(gl));
    auto visual = x11WindowVisual(viewer->window()).value_or(VisualReport{});
    std::fprintf(stderr, "PixelFormat Selected: %d\nBPP: %d\n", visual.visualId, visual.depth);

    viewer->show();
    // Black space while the snapshot loads, rather than whatever the screen showed before.
    clearScreen();
    viewer->swap();
    // Under a window manager that leaves the focus where the user was typing, Escape must still come here.
    X11KeyboardFocus focus(viewer->window());
    int width = kViewerWidth, height = kViewerHeight;
    viewer->drawableSize(width, height);
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    FrameClock clock(frequency, SDL_GetPerformanceCounter());
    KeyState keys;
    FloorHold hold = FloorHold::fromEnvironment(); // mirevo-idle's word on when the floor ends, if it locks
    LoadingWindow loading(keys, focus, hold);
    {
        SceneTexture texture;
        if (setUpScene(width, height, texture, snapshot, loading, trace)) {
            unsigned long frames = runFrames(*viewer, texture, clock, frequency, keys, focus, hold, trace);
            if (trace.on()) trace.mark("frames", std::to_string(frames));
        } else {
            trace.mark("quit-while-loading");
        }
        // The texture name goes while its context still exists.
    }
    viewer->deleteContext();
    return 0;
}

} // namespace mirevo::viewer
