// The hack's picture as read from a real X server: a manager's screenshot pixmap of each depth the hack
// reads, the part of it under a smaller window, and a picture too large for the GL, each byte for byte what
// the pixmap's values say; a pixmap that is gone gives the next picture.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "viewer/x11/x11_desktop_picture.h"

#include "common/x11/pixel_format.h"
#include "common/x11/x11_display.h"
#include "tests/harness/raw_pixmap.h"
#include "tests/harness/scoped_env.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"
#include "viewer/picture/box_reduce.h"

namespace mirevo::test {
namespace {

using viewer::Picture;
using viewer::PictureSource;

constexpr int kWidth = 301, kHeight = 203; // odd sides: padded picture rows, short last bands

void setPixmapProperty(Display* display, Window window, const char* name, Pixmap pixmap) {
    const unsigned long value = pixmap;
    XChangeProperty(display, window, XInternAtom(display, name, False), XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
    XSync(display, False);
}

Window makeWindow(Display* display, int x, int y, int width, int height) {
    XSetWindowAttributes set{};
    set.override_redirect = True;
    const Window window = XCreateWindow(display, DefaultRootWindow(display), x, y, unsigned(width),
                                        unsigned(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                        CWOverrideRedirect, &set);
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

// What the picture must be, worked out pixel by pixel: the area's colours mirrored left to right, bottom row
// first, reduced by factor.
Picture expectedPicture(const PixelFormat& format, int depth, int left, int top, int width, int height,
                        int factor) {
    std::vector<uint8_t> row(size_t(width) * 3);
    Picture whole{width, height, std::vector<uint8_t>(viewer::pictureRowBytes(width) * size_t(height))};
    std::optional<viewer::BoxReducer> reducer;
    if (factor > 1) reducer.emplace(width, height, factor);
    for (int up = 0; up < height; ++up) {
        const int y = top + height - 1 - up;
        uint8_t* out = reducer ? row.data() : whole.pixels.data() + viewer::pictureRowBytes(width) * size_t(up);
        for (int x = 0; x < width; ++x) {
            const uint32_t rgb = unpackPixel(format, scrambledPixel(left + width - 1 - x, y, depth));
            out[3 * x] = uint8_t(rgb), out[3 * x + 1] = uint8_t(rgb >> 8), out[3 * x + 2] = uint8_t(rgb >> 16);
        }
        if (reducer) reducer->addRow(row.data());
    }
    return reducer ? reducer->take() : whole;
}

TEST(X11DesktopPicture, EachDepthIsReadByteForByteWholeUnderAWindowAndReduced) {
    Xvfb server(kWidth, kHeight, 1, {"-pixdepths", "15", "30"});
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    Display* display = client.display();
    struct Case {
        const char* what;
        int depth;
        PixelFormat format; // as a server with no visual of the depth holds its colours
        int x, y, width, height; // the manager's window
        int maxSide;
    };
    const PixelFormat rgb888{0xFF0000, 0xFF00, 0xFF};
    const Case cases[] = {
        {"24-bit, the screen's own", 24, rgb888, 0, 0, kWidth, kHeight, 4096},
        {"32-bit", 32, rgb888, 0, 0, kWidth, kHeight, 4096},
        {"16-bit 5-6-5", 16, {0xF800, 0x07E0, 0x001F}, 0, 0, kWidth, kHeight, 4096},
        {"15-bit 5-5-5", 15, {0x7C00, 0x03E0, 0x001F}, 0, 0, kWidth, kHeight, 4096},
        {"30-bit 10-10-10", 30, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0, 0, kWidth, kHeight, 4096},
        {"24-bit under a smaller window", 24, rgb888, 37, 21, 150, 101, 4096},
        {"16-bit under a window reaching past the screen", 16, {0xF800, 0x07E0, 0x001F}, 200, 150, 150, 100,
         4096},
        {"24-bit, larger than the GL takes", 24, rgb888, 0, 0, kWidth, kHeight, 128},
        {"30-bit, larger than the GL takes", 30, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0, 0, kWidth, kHeight, 100},
    };
    ScopedEnv onServer("DISPLAY", server.display());
    auto own = X11Display::open();
    ASSERT_TRUE(own);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Pixmap pixmap = makeRawPixmap(display, kWidth, kHeight, c.depth,
                                            [&](int x, int y) { return scrambledPixel(x, y, c.depth); });
        ASSERT_NE(pixmap, 0u);
        const Window window = makeWindow(display, c.x, c.y, c.width, c.height);
        setPixmapProperty(display, window, "_SCREENSAVER_SCREENSHOT", pixmap);

        const viewer::DesktopPicture got = viewer::takeDesktopPicture(own->get(), window, true, c.maxSide);
        EXPECT_EQ(got.source, PictureSource::Screenshot);
        // The part of the pixmap under the window, which may reach past the screen's edge.
        const int width = std::min(c.x + c.width, kWidth) - c.x, height = std::min(c.y + c.height, kHeight) - c.y;
        const int factor = viewer::reductionFactor(width, height, c.maxSide);
        const Picture want = expectedPicture(c.format, c.depth, c.x, c.y, width, height, factor);
        ASSERT_EQ(got.image.width, want.width);
        ASSERT_EQ(got.image.height, want.height);
        ASSERT_EQ(got.image.pixels.size(), want.pixels.size());
        size_t wrong = 0;
        for (size_t i = 0; i < want.pixels.size(); ++i) wrong += got.image.pixels[i] != want.pixels[i];
        EXPECT_EQ(wrong, 0u);
        if (c.maxSide < 4096) {
            EXPECT_GT(factor, 1);
        }

        XDestroyWindow(display, window);
        XFreePixmap(display, pixmap);
        XSync(display, False);
    }
}

TEST(X11DesktopPicture, AScreenshotPixmapThatIsGoneGivesTheWallpaper) {
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    Display* display = client.display();
    const Pixmap wallpaper = makeRawPixmap(display, kWidth, kHeight, 24, [](int, int) { return 0x00FF00u; });
    setPixmapProperty(display, DefaultRootWindow(display), "_XROOTPMAP_ID", wallpaper);
    const Pixmap gone = makeRawPixmap(display, kWidth, kHeight, 24, [](int, int) { return 0xFF0000u; });
    const Window window = makeWindow(display, 0, 0, kWidth, kHeight);
    setPixmapProperty(display, window, "_SCREENSAVER_SCREENSHOT", gone);
    XFreePixmap(display, gone);
    XSync(display, False);

    ScopedEnv onServer("DISPLAY", server.display());
    auto own = X11Display::open();
    ASSERT_TRUE(own);
    const viewer::DesktopPicture got = viewer::takeDesktopPicture(own->get(), window, true, 4096);
    EXPECT_EQ(got.source, PictureSource::Wallpaper);
    ASSERT_EQ(got.image.width, kWidth);
    ASSERT_EQ(got.image.height, kHeight);
    EXPECT_EQ(got.image.pixels[0], 0x00); // blue, green, red
    EXPECT_EQ(got.image.pixels[1], 0xFF);
    EXPECT_EQ(got.image.pixels[2], 0x00);
}

} // namespace
} // namespace mirevo::test
