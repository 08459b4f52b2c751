#include "viewer/scene/gl_scene.h"

#include "viewer/scene/mipmap_path.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace mirevo::viewer {

namespace {

struct FloorCorner {
    float s, t, x, z;
};
// The first row of the file (the bottom of the desktop) lies along z = -2.25, its left edge along x = -2.25.
constexpr FloorCorner kFloor[4] = {
    {0, 0, -kFloorHalfSide, -kFloorHalfSide},
    {1, 0, kFloorHalfSide, -kFloorHalfSide},
    {1, 1, kFloorHalfSide, kFloorHalfSide},
    {0, 1, -kFloorHalfSide, kFloorHalfSide},
};

} // namespace

void clearScreen() {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void setViewport(int width, int height) {
    glViewport(0, 0, width, height == 0 ? 1 : height);
}

namespace {

void setUpScene(int clientWidth, int clientHeight) {
    glViewport(0, 0, clientWidth, clientHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    double aspect =
        static_cast<double>(clientWidth) / static_cast<double>(clientHeight > 0 ? clientHeight : 1);
    gluPerspective(kFieldOfViewDegrees, aspect, kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -kEyeDistance);
    glClearColor(0, 0, 0, 0);
    glEnable(GL_DEPTH_TEST);
}

} // namespace

Result<void, BmpRefusal> InitScene(int clientWidth, int clientHeight, SceneTexture& texture,
                                   const std::string& snapshotPath, const PreparedSnapshot& prepared,
                                   const KeepGoing& keepGoing) {
    setUpScene(clientWidth, clientHeight);
    return texture.loadPrepared(snapshotPath, prepared, keepGoing);
}

void primeScene(int width, int height) {
    setUpScene(width, height);
    drawLean();
    // Sides that are not powers of two, as a desktop's are: the GL's code for sampling depends on it.
    const Picture black{3, 3, std::vector<uint8_t>(pictureRowBytes(3) * 3, 0)};
    SceneTexture texture;
    texture.Create({});
    texture.upload(black);
    DrawScene(FramePose{}, texture);
}

void applyFloorTransform(const FramePose& pose) {
    glRotatef(pose.tilt, 1, 0, 0);
    glTranslatef(0, 0, pose.drift);
    glRotatef(pose.spin, 0, 1, 0);
    glTranslatef(0, kFloorLowering, 0);
}

void drawLean() {
    glDisable(GL_DEPTH_TEST);
    // The floor's colour is white: the texel as it is, without a colour to interpolate and multiply by.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
}

bool drawsOnTheProcessor() {
    return isSoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
}

void DrawScene(const FramePose& pose, const SceneTexture& texture) {
    glClear(glIsEnabled(GL_DEPTH_TEST) ? GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT : GL_COLOR_BUFFER_BIT);
    glPushMatrix();
    applyFloorTransform(pose);
    glEnable(GL_TEXTURE_2D);
    texture.Bind();
    glBegin(GL_QUADS);
    glColor3f(1, 1, 1);
    for (const FloorCorner& c : kFloor) {
        glTexCoord2f(c.s, c.t);
        glVertex3f(c.x, 0, c.z);
    }
    glEnd();
    glPopMatrix();
}

} // namespace mirevo::viewer

namespace mirevo::viewer {

void resizeScene(int width, int height) {
    if (height <= 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFieldOfViewDegrees, static_cast<double>(width) / static_cast<double>(height), kNearPlane,
                   kFarPlane);
    glMatrixMode(GL_MODELVIEW);
}

void drawCells(const std::vector<FigureCell>& cells, int width, int height, int cellPixels) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    const bool depthTest = glIsEnabled(GL_DEPTH_TEST);
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 1, 0);
    glBegin(GL_QUADS);
    for (const FigureCell& cell : cells) {
        const int x = cellPixels * (cell.column + 1), y = cellPixels * (cell.row + 1);
        glVertex2i(x, y);
        glVertex2i(x + cellPixels, y);
        glVertex2i(x + cellPixels, y + cellPixels);
        glVertex2i(x, y + cellPixels);
    }
    glEnd();
    if (depthTest) glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

} // namespace mirevo::viewer
