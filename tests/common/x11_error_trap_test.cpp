// An X error belongs to the request that caused it: a trap reports the errors of its own connection's
// requests made since it was set, never another connection's or another thread's, and no error ends the
// process.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <X11/Xlib.h>

#include "common/x11/x11_display.h"
#include "common/x11/x11_error_trap.h"
#include "tests/harness/xvfb.h"

namespace mirevo::test {
namespace {

// A window id the server no longer knows: every request about it fails with BadWindow.
Window goneWindow(Display* display) {
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(display, window);
    XSync(display, False);
    return window;
}

// A request that fails, answered before this returns.
void failOnce(Display* display, Window gone) {
    XMapWindow(display, gone);
    XSync(display, False);
}

class X11ErrorTrapTest : public testing::Test {
protected:
    static void SetUpTestSuite() { X11Display::allowThreads(); }

    X11Display connect() {
        auto display = X11Display::open(server_.display().c_str());
        EXPECT_TRUE(display) << (display ? "" : display.reason());
        return std::move(*display);
    }

    Xvfb server_;
};

TEST_F(X11ErrorTrapTest, ReportsOnlyTheErrorsOfItsOwnRequests) {
    ASSERT_TRUE(server_.ok());
    X11Display mine = connect(), other = connect();
    const Window gone = goneWindow(mine.get());

    struct Case {
        const char* what;
        bool failMineBefore, failMineInside, failOtherInside;
        bool reported;
    };
    const Case cases[] = {
        {"nothing fails", false, false, false, false},
        {"its own request fails", false, true, false, true},
        {"another connection's request fails", false, false, true, false},
        {"a request sent before the trap fails", true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Sent, not yet answered: its error comes in while the trap is set.
        if (c.failMineBefore) XMapWindow(mine.get(), gone);
        X11ErrorTrap trap(mine.get());
        XNoOp(mine.get());
        if (c.failMineInside) XMapWindow(mine.get(), gone);
        if (c.failOtherInside) failOnce(other.get(), gone); // no trap there: dropped, and the process lives
        EXPECT_EQ(trap.failed(), c.reported);
    }
}

TEST_F(X11ErrorTrapTest, AnotherThreadsErrorsStayOnItsOwnConnection) {
    ASSERT_TRUE(server_.ok());
    X11Display mine = connect(), theirs = connect();
    const Window gone = goneWindow(mine.get());
    std::atomic<bool> stop{false};
    std::atomic<int> theirFailures{0};
    std::thread other([&] {
        // Trapped and untrapped errors on its own connection, as fast as it can.
        while (!stop) {
            X11ErrorTrap trap(theirs.get());
            failOnce(theirs.get(), gone);
            if (trap.failed()) ++theirFailures;
            failOnce(theirs.get(), gone);
        }
    });
    int falseAlarms = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int i = 0; (i < 200 || theirFailures == 0) && std::chrono::steady_clock::now() < deadline; ++i) {
        X11ErrorTrap trap(mine.get());
        XWindowAttributes attributes{};
        XGetWindowAttributes(mine.get(), DefaultRootWindow(mine.get()), &attributes);
        if (trap.failed()) ++falseAlarms;
    }
    stop = true;
    other.join();
    EXPECT_EQ(falseAlarms, 0);
    EXPECT_GT(theirFailures, 0);

    X11ErrorTrap trap(mine.get());
    failOnce(mine.get(), gone);
    EXPECT_TRUE(trap.failed());
}

} // namespace
} // namespace mirevo::test
