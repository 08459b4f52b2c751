#include "viewer/wayland/wayland_viewer_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "common/log.h"
#include "common/posix/posix_stop_signals.h"
#include "common/snapshot_path.h"
#include "viewer/scene/floor_hold.h"
#include "viewer/scene/frame_clock.h"
#include "viewer/scene/frame_pacer.h"
#include "viewer/scene/gl_scene.h"
#include "viewer/scene/key_state.h"
#include "viewer/scene/scene_motion.h"
#include "viewer/scene/scene_texture.h"
#include "viewer/picture/snapshot_preload.h"
#include "viewer/scene/trace.h"
#include "viewer/wayland/wayland_viewer_surfaces.h"

namespace mirevo::viewer {
namespace {

using namespace std::chrono_literals;

// How long the compositor may take to place the surfaces before the viewer gives up.
constexpr auto kPlaceLimit = 10s;
// The longest wait for a frame callback before the loop looks again; the callback, a key or a stop signal
// ends the wait sooner.
constexpr auto kIdleWait = 500ms;

uint64_t nanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

double seconds(uint64_t ns) {
    return double(ns) / 1e9;
}

// Events and the end conditions, while loading and between frames: false once the run is to end.
class Answer {
public:
    Answer(WaylandViewerSurfaces& surfaces, KeyState& keys, FloorHold& hold)
        : surfaces_(surfaces), keys_(keys), hold_(hold) {}
    bool operator()(std::chrono::milliseconds wait) {
        if (!lost_ && !surfaces_.dispatch(wait)) lost_ = true;
        return !lost_ && !hold_.ends(keys_.quitRequested()) && !mirevo::stopRequested();
    }
    bool lost() const { return lost_; }

private:
    WaylandViewerSurfaces& surfaces_;
    KeyState& keys_;
    FloorHold& hold_;
    bool lost_ = false;
};

} // namespace

int runWaylandViewer() {
    // Before anything else, so that a saver ending from now on ends the viewer too; SIGHUP ends it at once, as
    // it does the X11 viewer.
    catchStopSignals(HangUp::KeepsDefault);
    if (!stopWithParent()) return 0;
    Trace trace;
    trace.mark("start");
    SnapshotPreload snapshot(mirevo::snapshotPath(false));
    KeyState keys;
    auto opened = WaylandViewerSurfaces::open(keys, kPlaceLimit);
    if (!opened) {
        // The saver's watch sees the process end and ends the session; say why for whoever reads the output.
        logError("cannot cover the outputs of the Wayland session (" + opened.reason() + ")");
        return 0;
    }
    std::unique_ptr<WaylandViewerSurfaces> surfaces = std::move(*opened);
    trace.mark("surfaces", std::to_string(surfaces->count()) + " " + describe(surfaces->role()));
    trace.mark("egl-config", surfaces->configDescription());
    // As on X11: the picture reduced to what the GL takes, its levels averaged ahead only where they are
    // given.
    const GlCapabilities gl = currentGlCapabilities();
    snapshot.setMaxTextureSide(gl.maxTextureSize, levelsWantedBy(gl));
    FloorHold hold = FloorHold::fromEnvironment(); // mirevo-idle's word on when the floor ends, if it locks
    Answer answer(*surfaces, keys, hold);

    {
        SceneTexture texture;
        int width = 0, height = 0;
        surfaces->makeCurrent(0, width, height);
        bool running = true;
        while (running && !snapshot.ready(0ms))
            running = answer(10ms);
        if (running) {
            PreparedSnapshot prepared = snapshot.take();
            InitScene(width, height, texture, snapshot.path(), prepared, [&] { return answer(0ms); });
            // Full screen on every output: as the hack does, no per-pixel work that changes nothing.
            drawLean();
            running = answer(0ms);
        }
        if (!running) trace.mark("quit-while-loading");

        SceneMotion motion;
        FramePacer pacer(surfaces->refreshRate());
        FrameClock clock(1000000000u, nanoseconds());
        unsigned long frames = 0;
        bool floorShown = false;
        OutputFrames& outputs = surfaces->frames();
        const auto commit = [&](size_t i) {
            surfaces->swap(i);
            outputs.countShown(i);
            // The floor is up once every output has shown it.
            if (floorShown) return;
            for (size_t o = 0; o < outputs.count(); ++o)
                if (outputs.shown(o) == 0) return;
            floorShown = true;
            trace.mark("first-frame");
            hold.floorShown();
        };
        while (running) {
            const auto wait = outputs.wait(pacer.secondsUntilDue(seconds(nanoseconds())), kIdleWait);
            if (!answer(wait)) break;
            if (wait.count() > 0) continue;
            // Held frames the compositor may now be given.
            for (size_t i = 0; i < outputs.count(); ++i)
                if (outputs.showable(i)) commit(i);
            const uint64_t start = nanoseconds();
            if (!outputs.drawNow(pacer.secondsUntilDue(seconds(start)))) continue;
            // One pose for every output that may have a frame, drawn once for all that share a buffer size
            // and scale, each such frame at its own aspect; committed at once where the compositor may be
            // given it, else held until it may. A frame is drawn as soon as one output of its group may
            // have it: the fastest sets the pace, the others show the newest frame when they may.
            FramePose pose;
            bool drew = false;
            for (size_t t = 0; t < surfaces->targets(); ++t) {
                if (!surfaces->beginFrame(t, width, height)) continue;
                if (!drew) {
                    const FrameTimes times = clock.tick(start);
                    pose = motion.step(times.elapsedSeconds, times.frameSeconds);
                    drew = true;
                }
                resizeScene(width, height);
                DrawScene(pose, texture);
                surfaces->endFrame(t, pose);
            }
            for (size_t i = 0; i < outputs.count(); ++i)
                if (outputs.showable(i)) commit(i);
            // Every buffer still on the compositor's screens: the next frame waits for one to come back.
            if (!drew) {
                running = answer(kIdleWait);
                continue;
            }
            const bool wasPacing = pacer.pacing();
            pacer.frameDone(seconds(start), seconds(nanoseconds()));
            ++frames;
            if (pacer.pacing() != wasPacing) trace.mark("pacing", pacer.pacing() ? "on" : "off");
        }
        if (trace.on()) {
            std::string perOutput;
            for (size_t i = 0; i < outputs.count(); ++i)
                perOutput += " " + std::to_string(outputs.shown(i));
            trace.mark("frames", std::to_string(frames) + perOutput);
        }
        if (answer.lost()) logError("the Wayland compositor went away or closed the floor");
        // The texture goes while its context still exists.
    }
    return 0;
}

} // namespace mirevo::viewer
