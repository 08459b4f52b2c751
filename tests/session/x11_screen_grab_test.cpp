// Reading the screen band by band from a real X server, through shared memory and through plain images: the
// whole root, and a monitor that does not start at its top-left corner.
#include "saver/session/x11_screen_grab.h"

#include <cstring>

#include <gtest/gtest.h>

#include "common/x11/x11_display.h"
#include "tests/harness/scoped_env.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

namespace mirevo::test {
namespace {

TEST(X11ScreenGrab, EveryMethodReadsTheScreenExactlyWhateverTheBand) {
    const int w = 1023, h = 767;
    Xvfb server(w, h);
    ASSERT_TRUE(server.ok());
    const Image picture = makeImage(w, h, [](int x, int y) {
        return std::array<uint8_t, 3>{uint8_t(x * 3 + y), uint8_t(y * 5), uint8_t(x ^ y)};
    });
    XClient painter(server.display());
    painter.setRootPicture(picture);

    ScopedEnv onServer("DISPLAY", server.display());
    auto display = X11Display::open();
    ASSERT_TRUE(display);
    const ScreenArea area = primaryScreenArea(display->get());
    EXPECT_EQ(area.x, 0);
    EXPECT_EQ(area.y, 0);
    EXPECT_EQ(area.width, w);
    EXPECT_EQ(area.height, h);

    // The whole screen, and a monitor right of and below another one (odd offsets, three bands).
    for (const ScreenArea& monitor : {area, ScreenArea{517, 131, 506, 636}})
        for (GrabMethod method : {GrabMethod::Fastest, GrabMethod::PlainImage}) {
            SCOPED_TRACE((method == GrabMethod::Fastest ? "shared memory at " : "plain images at ") +
                         std::to_string(monitor.x) + "," + std::to_string(monitor.y));
            auto rows = openScreenRows(display->get(), monitor, method);
            ASSERT_TRUE(rows);
            ASSERT_EQ(rows->width(), monitor.width);
            ASSERT_EQ(rows->height(), monitor.height);
            const int band = rows->bandHeight();
            ASSERT_GE(band, 1);
            // Bottom band first, as the bitmap writer reads; the topmost band is a short one.
            int wrong = 0;
            for (int bottom = monitor.height; bottom > 0;) {
                const int top = std::max(0, bottom - band);
                auto view = rows->readRows(top, bottom - top);
                ASSERT_TRUE(view) << "rows " << top << ".." << bottom - 1;
                ASSERT_EQ(view->height, bottom - top);
                for (int y = 0; y < view->height; ++y)
                    for (int x = 0; x < monitor.width; ++x) {
                        uint32_t p;
                        std::memcpy(&p, view->data + size_t(y) * view->stride + size_t(x) * 4, 4);
                        auto c = picture.at(monitor.x + x, monitor.y + top + y);
                        if (p != (uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2])) ++wrong;
                    }
                bottom = top;
            }
            EXPECT_EQ(wrong, 0);
            // Rows outside the area are refused, not read.
            EXPECT_FALSE(rows->readRows(monitor.height - 1, 2));
            EXPECT_FALSE(rows->readRows(-1, 1));
        }
    EXPECT_FALSE(openScreenRows(display->get(), ScreenArea{0, 0, 0, h}));
}

} // namespace
} // namespace mirevo::test
