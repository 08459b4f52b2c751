#pragma once
// The scene in OpenGL 1.1 calls: set-up once, then one frame of the moving floor per call. The context must
// be current.
#include <string>
#include <vector>

#include "viewer/scene/fps_figure.h"
#include "viewer/scene/scene_motion.h"
#include "viewer/scene/scene_texture.h"

namespace mirevo::viewer {

// Viewport, the projection (fixed from this size for the whole run), the eye translation, black clear colour,
// depth test, and the snapshot read beforehand (see SnapshotPreload) as texture; keepGoing is asked during a
// long upload. The scene is set up either way: a refused snapshot (the reason returned) leaves a white floor.
Result<void, BmpRefusal> InitScene(int clientWidth, int clientHeight, SceneTexture& texture,
                                   const std::string& snapshotPath, const PreparedSnapshot& prepared,
                                   const KeepGoing& keepGoing = {});
// Black, before the first frame.
void clearScreen();
// On every size notification; the projection keeps its aspect.
void setViewport(int width, int height);
// Where every pixel is drawn on the processor (a hack at full screen), work per pixel that changes nothing
// is left out: the depth test (one flat quad hides nothing of itself), and the floor's white colour that every
// texel was multiplied by. The picture stays the same.
void drawLean();
// Whether the current context's GL draws on the processor (its swap then never waits for the display).
bool drawsOnTheProcessor();
// A black frame drawn the way the floor is drawn, into the back buffer, before the picture has come: a
// software GL's one-time costs of its first frame (its buffers' memory, the code that samples a mipmapped
// texture) are paid while the picture is still being read. The caller swaps it in: black on black.
void primeScene(int width, int height);
// Clears (the depth buffer too while the depth test is on), draws the floor in the pose, leaves the
// model-view stack as it found it.
void DrawScene(const FramePose& pose, const SceneTexture& texture);
// The floor's transform pushed onto the model-view matrix: tilt, drift, spin, lowering.
void applyFloorTransform(const FramePose& pose);

} // namespace mirevo::viewer

namespace mirevo::viewer {

// For a window whose size changes under the viewer (a hack's): the viewport and the projection follow it,
// so the floor keeps the window's own aspect. The model-view matrix is left as it is.
void resizeScene(int width, int height);
// Squares of cellPixels at the window's top-left corner, one per lit cell (the frame-rate figure).
void drawCells(const std::vector<FigureCell>& cells, int width, int height, int cellPixels);

} // namespace mirevo::viewer
