// Mirevo.dll: shows the desktop snapshot as a floor that turns, rocks and drifts in black space until Escape.
#include <cstdio>
#include <string>

#include <SDL.h>

#include "common/snapshot_path.h"
#include "viewer/frame_clock.h"
#include "viewer/frame_pacer.h"
#include "viewer/gl_scene.h"
#include "viewer/key_state.h"
#include "viewer/scene_motion.h"
#include "viewer/scene_texture.h"
#include "viewer/sdl_window.h"
#include "viewer/snapshot_preload.h"
#include "viewer/trace.h"
#include "viewer/x11_visual.h"

using namespace mirevo::viewer;

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

// Scene set-up with the snapshot read ahead; the picture's buffers go once the GL has its copy.
void setUpScene(int width, int height, SceneTexture& texture, SnapshotPreload& snapshot, const Trace& trace) {
    double start = Trace::monotonicSeconds();
    PreparedSnapshot prepared = snapshot.take();
    double waited = Trace::monotonicSeconds() - start;
    InitScene(width, height, texture, snapshot.path(), prepared);
    if (!trace.on()) return;
    char detail[128];
    std::snprintf(detail, sizeof detail, "%.3fms (waited %.3fms for the file) %s %s",
                  (Trace::monotonicSeconds() - start) * 1000.0, waited * 1000.0,
                  texture.lastPath() ? describe(*texture.lastPath()) : "none",
                  describe(texture.lastRefusal()));
    trace.mark("texture", detail);
}

// The message loop: events first, a frame whenever none is waiting (and pacing does not hold it back), until
// Escape or a close request. Returns the number of frames drawn.
unsigned long runFrames(SdlViewerWindow& viewer, const SceneTexture& texture, FrameClock& clock,
                        uint64_t frequency, const Trace& trace) {
    KeyState keys;
    SceneMotion motion;
    FramePacer pacer(viewer.refreshRate());
    unsigned long frames = 0;
    for (;;) {
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

        uint64_t now = SDL_GetPerformanceCounter();
        FrameTimes times = clock.tick(now);
        if (keys.quitRequested()) break;
        DrawScene(motion.step(times.elapsedSeconds, times.frameSeconds), texture);
        viewer.swap();
        bool wasPacing = pacer.pacing();
        pacer.frameDone(counterSeconds(now, frequency),
                        counterSeconds(SDL_GetPerformanceCounter(), frequency));
        if (++frames == 1) trace.mark("first-frame");
        if (pacer.pacing() != wasPacing) trace.mark("pacing", pacer.pacing() ? "on" : "off");
    }
    return frames;
}

} // namespace

int main() {
    Trace trace;
    trace.mark("start");
    SnapshotPreload snapshot(mirevo::snapshotPath(false));
    SdlViewerWindow::OpenFailure failure = SdlViewerWindow::OpenFailure::None;
    std::string error;
    auto viewer = SdlViewerWindow::open(failure, error);
    if (!viewer) {
        if (failure == SdlViewerWindow::OpenFailure::NoDisplay) {
            std::fprintf(stderr, "Mirevo.dll: cannot open the X display (%s)\n", error.c_str());
            return 1;
        }
        // The saver sees no "Tovik_VC" window and ends; say why for whoever reads the output.
        std::fprintf(stderr, "Mirevo.dll: cannot create the OpenGL window (%s)\n", error.c_str());
        return 0;
    }
    auto visual = x11WindowVisual(viewer->window()).value_or(VisualReport{});
    std::fprintf(stderr, "PixelFormat Selected: %d\nBPP: %d\n", visual.visualId, visual.depth);

    viewer->show();
    int width = kViewerWidth, height = kViewerHeight;
    viewer->drawableSize(width, height);
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    FrameClock clock(frequency, SDL_GetPerformanceCounter());
    {
        SceneTexture texture;
        setUpScene(width, height, texture, snapshot, trace);
        unsigned long frames = runFrames(*viewer, texture, clock, frequency, trace);
        if (trace.on()) trace.mark("frames", std::to_string(frames));
        // The texture name goes while its context still exists.
    }
    viewer->deleteContext();
    return 0;
}
