// The harness itself: a private server comes up, takes a root picture, finds windows by title (hidden ones
// too) and goes away again.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

using namespace mirevo::test;
using namespace std::chrono_literals;

TEST(Harness, RootPictureSurvivesClientsLeavingAndWindowsAreFoundByExactTitle) {
    Xvfb server(320, 200);
    ASSERT_TRUE(server.ok());
    const Image picture = makeImage(320, 200, [](int x, int y) {
        return std::array<uint8_t, 3>{uint8_t(x), uint8_t(y), uint8_t(x < 160 ? 255 : 0)};
    });
    {
        XClient painter(server.display());
        ASSERT_TRUE(painter.ok());
        painter.setRootPicture(picture);
    }
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    auto shot = client.screenshot(client.root());
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->rgb, picture.rgb) << "root picture lost when the painting client left";

    // An unmapped window with a title, under the root.
    Window hidden = XCreateSimpleWindow(client.display(), client.root(), 0, 0, 10, 10, 0, 0, 0);
    XStoreName(client.display(), hidden, "Tovik_Main");
    client.sync();
    EXPECT_EQ(client.findWindow("Tovik_Main"), hidden);
    EXPECT_EQ(client.findWindow("Tovik_Mai"), 0u);
    EXPECT_EQ(client.findWindow("tovik_main"), 0u);
    EXPECT_FALSE(client.mapped(hidden));
    XDestroyWindow(client.display(), hidden);
    client.sync();
    EXPECT_EQ(client.findWindow("Tovik_Main"), 0u);
}

TEST(Harness, ChildProcessReportsExitCodesAndEnvironment) {
    ChildProcess ok({"/bin/sh", "-c", "echo \"$MIREVO_X\"; exit 3"}, {{"MIREVO_X", "hello"}});
    EXPECT_EQ(ok.waitExit(5s), 3);
    EXPECT_EQ(ok.output(), "hello\n");
    ChildProcess removed({"/bin/sh", "-c", "echo \"${HOME:-none}\""}, {{"HOME", std::nullopt}});
    EXPECT_EQ(removed.waitExit(5s), 0);
    EXPECT_EQ(removed.output(), "none\n");
    ChildProcess slow({"/bin/sleep", "30"});
    EXPECT_FALSE(slow.waitExit(50ms));
    slow.terminate();
    EXPECT_TRUE(slow.waitExit(0ms));
}
