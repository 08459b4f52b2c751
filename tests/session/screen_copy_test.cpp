// The wlroots screen copy as the session takes it, against the tests' own compositor: the pixel formats, an
// output turned a quarter with no xdg-output to say its logical size, and compositors that never answer or
// announce a buffer larger than the output. Each picture is the desktop as the user sees it: the left half
// red, the right half blue.
#include <chrono>
#include <future>
#include <memory>

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/wayland/wayland_connection.h"
#include "saver/session/wayland_screencopy.h"
#include "tests/session/picture_compositor.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;

struct Taken {
    Result<ComposedPicture, std::string> picture = Failure(std::string("not taken"));
    std::chrono::milliseconds took{};
};

// The session's screen-copy source with a deadline of limit, on a thread of its own: a source that ignored its
// deadline fails the test at waitLimit instead of holding the suite.
std::optional<Taken> takeWithin(std::chrono::milliseconds limit, std::chrono::milliseconds waitLimit = 20s) {
    auto promise = std::make_shared<std::promise<Taken>>();
    std::future<Taken> future = promise->get_future();
    std::thread([promise, limit] {
        const auto start = std::chrono::steady_clock::now();
        Taken taken;
        taken.picture = wlrScreenCopySource().take(start + limit);
        taken.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        promise->set_value(std::move(taken));
    }).detach();
    if (future.wait_for(waitLimit) != std::future_status::ready) return std::nullopt;
    return future.get();
}

struct FormatCase {
    const char* format;
};

class ScreenCopyFormat : public ::testing::TestWithParam<FormatCase> {};

// Red stays red whichever way round the copy's words hold it.
TEST_P(ScreenCopyFormat, KeepsRedAndBlueWhereTheUserSeesThem) {
    PictureCompositor compositor({"--format", GetParam().format, "--mode", "4x2"});
    ASSERT_TRUE(compositor.ok()) << compositor.process().errors();
    compositor.becomeClient();
    const auto taken = takeWithin(10s);
    ASSERT_TRUE(taken);
    ASSERT_TRUE(taken->picture.ok()) << taken->picture.reason();
    ASSERT_EQ(taken->picture->width(), 4);
    ASSERT_EQ(taken->picture->height(), 2);
    EXPECT_EQ(taken->picture->at(0, 0), kRed);
    EXPECT_EQ(taken->picture->at(1, 1), kRed);
    EXPECT_EQ(taken->picture->at(3, 0), kBlue);
}

INSTANTIATE_TEST_SUITE_P(Table, ScreenCopyFormat, ::testing::Values(FormatCase{"xrgb"}, FormatCase{"xbgr"}));

// A 4 x 2 mode turned a quarter is a desktop 2 wide and 4 high; the copy's left half (its first two columns)
// is what the user sees at the top.
TEST(ScreenCopyTurned, WithoutXdgOutputAQuarterTurnedOutputIsAsTallAsItsModeIsWide) {
    PictureCompositor compositor({"--mode", "4x2", "--transform", "1"});
    ASSERT_TRUE(compositor.ok()) << compositor.process().errors();
    compositor.becomeClient();
    const auto connected = WaylandConnection::connect(10s);
    ASSERT_TRUE(connected) << connected.reason().why;
    const WaylandConnection& connection = **connected;
    ASSERT_EQ(connection.outputs().size(), 1u);
    EXPECT_EQ(connection.outputs()[0].logicalWidth, 2);
    EXPECT_EQ(connection.outputs()[0].logicalHeight, 4);
    const auto taken = takeWithin(10s);
    ASSERT_TRUE(taken);
    ASSERT_TRUE(taken->picture.ok()) << taken->picture.reason();
    ASSERT_EQ(taken->picture->width(), 2);
    ASSERT_EQ(taken->picture->height(), 4);
    EXPECT_EQ(taken->picture->at(0, 0), kRed);
    EXPECT_EQ(taken->picture->at(1, 1), kRed);
    EXPECT_EQ(taken->picture->at(0, 3), kBlue);
}

struct Refusal {
    const char* copy;
    const char* why;
};

class ScreenCopyRefusal : public ::testing::TestWithParam<Refusal> {};

// A compositor that takes the capture and never answers is given up at the session's deadline, not later; one
// that announces a buffer larger than its output gets none made.
TEST_P(ScreenCopyRefusal, IsAReasonByTheDeadline) {
    PictureCompositor compositor({"--copy", GetParam().copy});
    ASSERT_TRUE(compositor.ok()) << compositor.process().errors();
    compositor.becomeClient();
    const auto taken = takeWithin(1500ms);
    ASSERT_TRUE(taken) << "the copy did not end within 20 s of a 1.5 s deadline";
    ASSERT_FALSE(taken->picture.ok());
    EXPECT_NE(taken->picture.reason().find(GetParam().why), std::string::npos) << taken->picture.reason();
    EXPECT_LT(taken->took, 5s);
    EXPECT_TRUE(compositor.process().running());
}

INSTANTIATE_TEST_SUITE_P(Table, ScreenCopyRefusal,
                         ::testing::Values(Refusal{"silent", "no copy within the time allowed"},
                                           Refusal{"huge", "larger than the output"},
                                           Refusal{"none", "offers no wlroots screen copy"}));

// The stop signals' pipe ends the wait at once.
TEST(ScreenCopyStop, AWakeFdEndsTheWaitForACompositorThatNeverAnswers) {
    PictureCompositor compositor({"--copy", "silent"});
    ASSERT_TRUE(compositor.ok()) << compositor.process().errors();
    compositor.becomeClient();
    auto connected = WaylandConnection::connect(10s);
    ASSERT_TRUE(connected) << connected.reason().why;
    auto connection = std::move(*connected);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "x", 1), 1);
    const auto start = std::chrono::steady_clock::now();
    const auto copies = copyOutputs(*connection, start + 30s, ends[0]);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    ASSERT_FALSE(copies.ok());
    EXPECT_EQ(copies.reason(), "asked to stop");
    ::close(ends[0]), ::close(ends[1]);
}

} // namespace
} // namespace mirevo::test
