// The least any GL hack pays on this display before its first textured frame is seen: GLX context on a child
// of the manager's window (a visual with colour only), a small texture, one textured quad, the swap. Prints
// trace lines, as the viewer's trace does: at its start, with its context, and when the frame has reached the
// server.
//
// With --spin, the least any program pays to show the hack's picture at the display's pace: the manager's
// screenshot as GLU's mipmapped texture, then, 60 times a second until a signal, a clear and the floor in the
// hack's own motion and projection, nothing else.
//
//   gl_floor WINDOW-ID [--hold | --spin]    (--hold: then waits for a signal, its memory there to be read)
// Ours first: X11's macros (None) would otherwise rename what they declare.
#include "viewer/scene/gl_scene.h"
#include "viewer/scene/scene_motion.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "viewer/scene/trace.h"

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
struct InfoFree {
    void operator()(XVisualInfo* info) const { XFree(info); }
};

struct ImageDestroy {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

// The screenshot the manager named on its window, as GLU's mipmapped texture of the screen's size.
bool loadScreenshot(Display* display, Window window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_SCREENSAVER_SCREENSHOT", False), 0, 1, False,
                           XA_PIXMAP, &type, &format, &count, &after, &data) != Success || !data)
        return false;
    const Pixmap pixmap = count == 1 ? *reinterpret_cast<unsigned long*>(data) : 0;
    XFree(data);
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    if (!pixmap || !XGetGeometry(display, pixmap, &root, &x, &y, &width, &height, &border, &depth)) return false;
    std::unique_ptr<XImage, ImageDestroy> image(XGetImage(display, pixmap, 0, 0, width, height, AllPlanes, ZPixmap));
    if (!image || image->bits_per_pixel != 32) return false;
    glPixelStorei(GL_UNPACK_ROW_LENGTH, image->bytes_per_line / 4);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    return gluBuild2DMipmaps(GL_TEXTURE_2D, 3, int(width), int(height), GL_BGRA, GL_UNSIGNED_BYTE, image->data) == 0;
}

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Frames 1/60 s apart (the next one at once when late) until a signal ends the process.
int spin(Display* display, Window child, int width, int height) {
    using namespace mirevo::viewer;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    gluPerspective(kFieldOfViewDegrees, double(width) / double(height), kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0, 0, -kEyeDistance);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    SceneMotion motion;
    const double start = monotonicSeconds();
    double last = start, due = start;
    for (;;) {
        const double now = monotonicSeconds();
        const FramePose pose = motion.step(now - start, now - last);
        last = now;
        glClear(GL_COLOR_BUFFER_BIT);
        glPushMatrix();
        applyFloorTransform(pose);
        glBegin(GL_QUADS);
        const float s = kFloorHalfSide, corners[4][4] = {{0, 0, -s, -s}, {1, 0, s, -s}, {1, 1, s, s}, {0, 1, -s, s}};
        for (const auto& c : corners) {
            glTexCoord2f(c[0], c[1]);
            glVertex3f(c[2], 0, c[3]);
        }
        glEnd();
        glPopMatrix();
        glXSwapBuffers(display, child);
        due = std::max(due + 1.0 / 60, monotonicSeconds());
        const double wait = due - monotonicSeconds();
        if (wait > 0) {
            const timespec pause{0, long(wait * 1e9)};
            nanosleep(&pause, nullptr);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const mirevo::viewer::Trace trace;
    trace.mark("start");
    if (argc < 2 || argc > 3) return 2;
    const bool hold = argc == 3 && std::string(argv[2]) == "--hold";
    const bool spinning = argc == 3 && std::string(argv[2]) == "--spin";
    const Window target = std::strtoul(argv[1], nullptr, 0);
    std::unique_ptr<Display, DisplayCloser> owned(XOpenDisplay(nullptr));
    Display* display = owned.get();
    if (!display) return 1;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, target, &attributes)) return 1;
    int wanted[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
    std::unique_ptr<XVisualInfo, InfoFree> visual(glXChooseVisual(display, DefaultScreen(display), wanted));
    if (!visual) return 1;
    XSetWindowAttributes set{};
    set.colormap = XCreateColormap(display, target, visual->visual, AllocNone);
    set.border_pixel = 0;
    const Window child = XCreateWindow(display, target, 0, 0, attributes.width, attributes.height, 0, visual->depth,
                                       InputOutput, visual->visual, CWColormap | CWBorderPixel, &set);
    XMapWindow(display, child);
    GLXContext context = glXCreateContext(display, visual.get(), nullptr, True);
    if (!context || !glXMakeCurrent(display, child, context)) return 1;
    trace.mark("context");

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    if (spinning) return loadScreenshot(display, target) ? spin(display, child, attributes.width, attributes.height) : 1;
    std::vector<unsigned> texels(64 * 64, 0xFF4080C0u);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    for (int level = 0, side = 64; side >= 1; ++level, side /= 2)
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glViewport(0, 0, attributes.width, attributes.height);
    glMatrixMode(GL_PROJECTION);
    glFrustum(-1, 1, -0.6, 0.6, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0, -1, -3);
    glRotatef(-60, 1, 0, 0);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    const float corners[4][4] = {{0, 0, -4, -4}, {8, 0, 4, -4}, {8, 8, 4, 4}, {0, 8, -4, 4}};
    for (const auto& c : corners) {
        glTexCoord2f(c[0], c[1]);
        glVertex3f(c[2], c[3], 0);
    }
    glEnd();
    glXSwapBuffers(display, child);
    glFinish();
    XSync(display, False);
    trace.mark("first-frame");
    if (hold) pause();
    glXMakeCurrent(display, None, nullptr);
    glXDestroyContext(display, context);
    return 0;
}
