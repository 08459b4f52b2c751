// A pixmap's rows read band by band from a real X server: through shared memory on a local Xvfb, which the
// reader must choose, and through plain image requests, the two giving the same pixels, whatever the size and
// whichever end the bands are read from.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/x11/x11_drawable_rows.h"
#include "tests/harness/raw_pixmap.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

namespace mirevo::test {
namespace {

enum class Order { BottomBandFirst, TopBandFirst };

// Every row of the rows as 0x00RRGGBB, top row first, read a band at a time: from the bottom as the pictures are
// made (a short band is then the top one), or from the top as a screen is read row after row (a short band is
// then the bottom one, which a whole band read from its top would take past the area's end).
std::optional<std::vector<uint32_t>> readAll(RowSource& rows, Order order) {
    std::vector<uint32_t> pixels(size_t(rows.width()) * size_t(rows.height()));
    const int band = rows.bandHeight();
    if (band < 1) return std::nullopt;
    for (int done = 0; done < rows.height();) {
        const int count = std::min(band, rows.height() - done);
        const int top = order == Order::TopBandFirst ? done : rows.height() - done - count;
        const auto view = rows.readRows(top, count);
        if (!view || view->width != rows.width() || view->height != count) return std::nullopt;
        for (int y = 0; y < view->height; ++y)
            std::memcpy(&pixels[size_t(top + y) * size_t(rows.width())], view->data + size_t(y) * view->stride,
                        size_t(rows.width()) * 4);
        done += count;
    }
    return pixels;
}

TEST(X11DrawableRows, SharedMemoryIsTakenOnALocalServerAndReadsWhatPlainImagesRead) {
    Xvfb server(64, 64);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    Display* display = client.display();
    struct Case {
        const char* what;
        int pixmapWidth, pixmapHeight;
        ScreenArea area;
    };
    const Case cases[] = {
        {"the last band short", 640, 480, {0, 0, 640, 480}},
        {"one pixel wide", 1, 333, {0, 0, 1, 333}},
        {"one band exactly", 512, 256, {0, 0, 512, 256}},
        {"six bands, the last short", 1000, 700, {0, 0, 1000, 700}},
        {"a part away from the corner", 700, 500, {13, 7, 600, 450}},
    };
    struct Format {
        int depth, bitsPerPixel;
        PixelFormat format;
    };
    const Format formats[] = {{24, 32, {0xFF0000, 0xFF00, 0xFF}}, {16, 16, {0xF800, 0x07E0, 0x001F}}};
    for (const Case& c : cases)
        for (const Format& f : formats) {
            SCOPED_TRACE(std::string(c.what) + ", depth " + std::to_string(f.depth));
            const Pixmap pixmap = makeRawPixmap(display, c.pixmapWidth, c.pixmapHeight, f.depth,
                                                [&](int x, int y) { return scrambledPixel(x, y, f.depth); });
            ASSERT_NE(pixmap, 0u);
            const DrawablePixels pixels{pixmap, f.depth, f.format};

            auto shared = openDrawableRows(display, pixels, c.area);
            auto plain = openDrawableRows(display, pixels, c.area, GrabMethod::PlainImage);
            ASSERT_TRUE(shared);
            ASSERT_TRUE(plain);
            EXPECT_TRUE(shared->sharedMemory());
            EXPECT_FALSE(plain->sharedMemory());
            EXPECT_EQ(shared->bitsPerPixel(), f.bitsPerPixel);
            EXPECT_EQ(plain->bitsPerPixel(), f.bitsPerPixel);
            for (RowSource* rows : {static_cast<RowSource*>(shared.get()), static_cast<RowSource*>(plain.get())}) {
                EXPECT_EQ(rows->width(), c.area.width);
                EXPECT_EQ(rows->height(), c.area.height);
                EXPECT_FALSE(rows->readRows(c.area.height - 1, 2)) << "past the bottom";
                EXPECT_FALSE(rows->readRows(-1, 1));
            }
            for (Order order : {Order::BottomBandFirst, Order::TopBandFirst}) {
                SCOPED_TRACE(order == Order::TopBandFirst ? "top band first" : "bottom band first");
                const auto fromShared = readAll(*shared, order), fromPlain = readAll(*plain, order);
                ASSERT_TRUE(fromShared);
                ASSERT_TRUE(fromPlain);
                EXPECT_TRUE(*fromShared == *fromPlain);
                size_t wrong = 0;
                for (int y = 0; y < c.area.height; ++y)
                    for (int x = 0; x < c.area.width; ++x)
                        wrong += (*fromShared)[size_t(y) * size_t(c.area.width) + size_t(x)] !=
                                 unpackPixel(f.format, scrambledPixel(c.area.x + x, c.area.y + y, f.depth));
                EXPECT_EQ(wrong, 0u);
            }

            // Freed meanwhile: the next band cannot be read, and the program goes on.
            XFreePixmap(display, pixmap);
            XSync(display, False);
            EXPECT_FALSE(shared->readRows(0, 1));
            EXPECT_FALSE(plain->readRows(0, 1));
        }
    EXPECT_FALSE(openDrawableRows(display, DrawablePixels{DefaultRootWindow(display), 24, {}}, ScreenArea{0, 0, 0, 5}));
}

} // namespace
} // namespace mirevo::test
