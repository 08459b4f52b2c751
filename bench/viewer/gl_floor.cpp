// The least any GL hack pays on this display before its first textured frame is seen: GLX context on a child
// of the manager's window (a visual with colour only), a small texture, one textured quad, the swap. Prints
// trace lines, as the viewer's trace does: at its start, with its context, and when the frame has reached the
// server.
//
//   gl_floor WINDOW-ID [--hold]    (--hold: then waits for a signal, its memory there to be read)
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

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

} // namespace

int main(int argc, char** argv) {
    const mirevo::viewer::Trace trace;
    trace.mark("start");
    if (argc < 2 || argc > 3) return 2;
    const bool hold = argc == 3 && std::string(argv[2]) == "--hold";
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

    std::vector<unsigned> texels(64 * 64, 0xFF4080C0u);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
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
