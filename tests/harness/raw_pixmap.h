#pragma once
// A pixmap of any depth the server has, holding the raw pixel values a test chooses: what a manager's
// screenshot or a desktop's wallpaper may be, in formats the screen itself does not use.
#include <cstdint>
#include <cstdlib>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace mirevo::test {

// The bits a pixel of this depth can hold.
inline uint32_t depthMask(int depth) {
    return depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
}

// A value for every pixel that differs from its neighbours in every channel, whatever the depth's masks.
inline uint32_t scrambledPixel(int x, int y, int depth) {
    return (uint32_t(x) * 2654435761u ^ uint32_t(y) * 2246822519u ^ uint32_t(x + y) * 40503u) & depthMask(depth);
}

// 0 when the server refuses the depth.
template <typename ValueAt>
Pixmap makeRawPixmap(Display* display, int width, int height, int depth, ValueAt valueAt) {
    const int screen = DefaultScreen(display);
    Pixmap pixmap = XCreatePixmap(display, RootWindow(display, screen), unsigned(width), unsigned(height),
                                  unsigned(depth));
    XImage* image = XCreateImage(display, DefaultVisual(display, screen), unsigned(depth), ZPixmap, 0, nullptr,
                                 unsigned(width), unsigned(height), 32, 0);
    if (!image) return 0;
    image->data = static_cast<char*>(std::calloc(size_t(image->bytes_per_line), size_t(height)));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            XPutPixel(image, x, y, valueAt(x, y));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, unsigned(width), unsigned(height));
    XFreeGC(display, gc);
    XDestroyImage(image);
    XSync(display, False);
    return pixmap;
}

} // namespace mirevo::test
