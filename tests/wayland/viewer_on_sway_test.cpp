// The viewer alone on a real sway: one desktop of two outputs shared by the cases (a window of an application
// on it, keys from the desktop's keyboard, a scale changed, an output added), and a sway nested in another,
// whose outputs are windows there, for an output unplugged.
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/harness/child_process.h"
#include "tests/harness/headless_sway.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "tests/harness/wayland_key_window.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

// The snapshot the floor shows: blue and white squares, colours no output's background has.
const std::vector<Rgb> kFloorColours{{0, 0, 255}, {255, 255, 255}};

std::vector<uint8_t> snapshot() {
    return makeBmp(200, 150, [](int x, int y) { return (x / 25 + y / 25) % 2 ? kFloorColours[0] : kFloorColours[1]; });
}

// The output is covered by the floor in black space: none of the desktop's colour shows, a good share is
// black and a good share the floor's.
bool covered(const Image& shot, const Rgb& desktop) {
    long black = 0, floor = 0, samples = 0;
    for (int y = 0; y < shot.height; y += 4)
        for (int x = 0; x < shot.width; x += 4, ++samples) {
            const Rgb c = shot.at(x, y);
            if (colourDistance(c, desktop) <= 40) return false;
            black += colourDistance(c, {0, 0, 0}) <= 8;
            floor += c[2] > 150; // blue, white and what lies between
        }
    return black > samples / 6 && floor > samples / 10;
}

class Viewer {
public:
    Viewer(const HeadlessSway& sway) {
        EXPECT_TRUE(writeFile(runtime / "Tovik.bmp", snapshot()));
        auto env = sway.clientEnvironment(runtime.path());
        env["MIREVO_VIEWER_TRACE"] = "1";
        process = std::make_unique<ChildProcess>(std::vector<std::string>{builtProgram("Mirevo.dll")}, env);
    }
    // Until the output is covered; false if it is not in time or the viewer ended.
    bool covers(const HeadlessSway& sway, const std::string& output, const Rgb& desktop) {
        return pollUntil(60s, [&] {
                   const auto shot = sway.screenshot(output);
                   return (shot && covered(*shot, desktop)) || !process->running();
               }) &&
               process->running();
    }
    // Until the floor has moved twice on the output, the viewer running: it drew on after what came before.
    bool moves(const HeadlessSway& sway, const std::string& output) {
        auto last = sway.screenshot(output);
        int changes = 0;
        return pollUntil(60s, [&] {
                   const auto shot = sway.screenshot(output);
                   if (shot && last && shot->rgb != last->rgb) ++changes, last = shot;
                   return changes >= 2 || !process->running();
               }) &&
               process->running();
    }
    // The trace says the output's buffer is now this one: "800x600 scale 2".
    bool buffer(const std::string& output, const std::string& buffer) {
        return pollUntil(60s, [&] { return lastBuffer(output) == buffer || !process->running(); }) &&
               process->running();
    }
    // The trace's last word on an event ("frame-groups"): its detail; empty when none.
    std::string lastTrace(const std::string& event) const {
        std::istringstream said(process->errors());
        std::string line, last;
        const std::string prefix = "mirevo-trace " + event + " ";
        while (std::getline(said, line))
            if (line.rfind(prefix, 0) == 0) {
                const auto cpu = line.find(" cpu=");
                const auto detail = cpu == std::string::npos ? cpu : line.find(' ', cpu + 1);
                last = detail == std::string::npos ? "" : line.substr(detail + 1);
            }
        return last;
    }
    // Until the trace's last word on the event is this.
    bool traced(const std::string& event, const std::string& detail) {
        return pollUntil(60s, [&] { return lastTrace(event) == detail || !process->running(); }) &&
               process->running();
    }
    // The last buffer the trace gave the output.
    std::string lastBuffer(const std::string& output) const {
        std::istringstream said(process->errors());
        std::string line, last;
        const std::string prefix = "mirevo-trace surface ";
        while (std::getline(said, line)) {
            if (line.rfind(prefix, 0) != 0) continue;
            const auto at = line.find(" " + output + " ");
            if (at != std::string::npos) last = line.substr(at + output.size() + 2);
        }
        return last;
    }

    TempDir runtime;
    std::unique_ptr<ChildProcess> process;
};

class ViewerOnSway : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (HeadlessSway::unavailableReason().empty()) sway_ = std::make_unique<HeadlessSway>();
    }
    static void TearDownTestSuite() { sway_.reset(); }
    void SetUp() override {
        if (const std::string why = HeadlessSway::unavailableReason(); !why.empty()) GTEST_SKIP() << why;
        ASSERT_TRUE(sway_->ok()) << sway_->log();
    }
    const HeadlessSway& sway() const { return *sway_; }
    const Rgb& colourOf(size_t output) const { return sway_->outputs()[output].colour; }

    static inline std::unique_ptr<HeadlessSway> sway_;
};

// The floor takes the keyboard from the application that had it; a letter reaches neither that window nor
// ends the floor, Escape ends it, and the keyboard goes back.
TEST_F(ViewerOnSway, TheFloorHoldsTheKeyboardALetterLeavesItAndEscapeEndsIt) {
    WaylandKeyWindow window(sway().socket());
    ASSERT_TRUE(window.shown());
    ASSERT_TRUE(pollUntil(10s, [&] { return window.holdsKeyboard(); }));
    Viewer viewer(sway());
    for (size_t i = 0; i < 2; ++i)
        ASSERT_TRUE(viewer.covers(sway(), sway().outputName(i), colourOf(i))) << viewer.process->errors();
    EXPECT_TRUE(pollUntil(10s, [&] { return !window.holdsKeyboard(); }));

    ASSERT_TRUE(sway().pressKey("a"));
    EXPECT_TRUE(viewer.moves(sway(), sway().outputName(0))) << viewer.process->errors();
    EXPECT_EQ(window.keysPressed(), 0);

    ASSERT_TRUE(sway().pressKey("Escape"));
    EXPECT_EQ(viewer.process->waitExit(10s), 0) << viewer.process->errors();
    EXPECT_EQ(window.keysPressed(), 0);
    EXPECT_TRUE(pollUntil(10s, [&] { return window.holdsKeyboard(); }));
}

// Scale 1 to 2, 1.5 and back: the buffer is the output's pixels each time (800 x 600: not a blurred quarter at
// 2, through the viewporter at 1.5, not four times the pixels back at 1), and the floor covers the output.
TEST_F(ViewerOnSway, AScaleChangeIsFollowed) {
    Viewer viewer(sway());
    const std::string output = sway().outputName(0);
    ASSERT_TRUE(viewer.covers(sway(), output, colourOf(0))) << viewer.process->errors();
    ASSERT_TRUE(viewer.buffer(output, "800x600 scale 1"));
    for (const auto& [scale, buffer] : {std::pair{"2", "800x600 scale 2"}, std::pair{"1.5", "800x600 scale 1 viewport"},
                                        std::pair{"1", "800x600 scale 1"}}) {
        ASSERT_TRUE(sway().command("output " + output + " scale " + scale));
        EXPECT_TRUE(viewer.buffer(output, buffer)) << "scale " << scale << ": " << viewer.process->errors();
        EXPECT_TRUE(viewer.moves(sway(), output));
        EXPECT_TRUE(viewer.covers(sway(), output, colourOf(0))) << "scale " << scale;
    }
    viewer.process->terminate();
}

// Last, as it leaves the desktop with an output more (headless sway unplugs none).
TEST_F(ViewerOnSway, AnOutputAddedIsCoveredAtOnce) {
    Viewer viewer(sway());
    ASSERT_TRUE(viewer.covers(sway(), sway().outputName(0), colourOf(0))) << viewer.process->errors();
    ASSERT_TRUE(sway().command("create_output"));
    // Its background is sway's own grey, or none.
    EXPECT_TRUE(viewer.covers(sway(), sway().outputName(2), {0x33, 0x33, 0x33})) << viewer.process->errors();
    EXPECT_TRUE(viewer.moves(sway(), sway().outputName(2)));
    EXPECT_TRUE(viewer.covers(sway(), sway().outputName(0), colourOf(0)));
    viewer.process->terminate();
}

// Outputs of one size share one frame, drawn once and read into the viewer's own buffers: both show the
// floor, and a third plugged in and set to that size joins them and is covered. (That the rows are the
// right way up, the recording compositor's damage test says: the damage comes from the scene's geometry.)
TEST(ViewerOnSwayOfEqualOutputs, OutputsOfOneSizeShareAFrameAndOnePluggedInJoinsThem) {
    if (const std::string why = HeadlessSway::unavailableReason(); !why.empty()) GTEST_SKIP() << why;
    HeadlessSway sway({{800, 600, 0, 0, {255, 0, 0}}, {800, 600, 800, 0, {0, 255, 0}}});
    ASSERT_TRUE(sway.ok()) << sway.log();
    Viewer viewer(sway);
    ASSERT_TRUE(viewer.traced("frame-groups", "800x600 scale 1: HEADLESS-1 HEADLESS-2")) << viewer.process->errors();
    EXPECT_NE(viewer.lastTrace("egl-config").find("one frame per group of outputs"), std::string::npos);
    for (size_t i = 0; i < 2; ++i) {
        const std::string output = sway.outputName(i);
        ASSERT_TRUE(viewer.covers(sway, output, sway.outputs()[i].colour)) << viewer.process->errors();
        EXPECT_TRUE(viewer.moves(sway, output)) << output;
    }

    ASSERT_TRUE(sway.command("create_output"));
    const std::string added = sway.outputName(2);
    ASSERT_TRUE(sway.command("output " + added + " mode 800x600 position 1600 0"));
    EXPECT_TRUE(viewer.traced("frame-groups", "800x600 scale 1: HEADLESS-1 HEADLESS-2 " + added))
        << viewer.process->errors();
    EXPECT_TRUE(viewer.covers(sway, added, {0x33, 0x33, 0x33})) << viewer.process->errors();
    EXPECT_TRUE(viewer.moves(sway, added));
    for (size_t i = 0; i < 2; ++i)
        EXPECT_TRUE(viewer.moves(sway, sway.outputName(i)));
    viewer.process->terminate();
}

// An output unplugged for real (its window in the outer desktop closed): the floor goes on on the other.
TEST(ViewerOnNestedSway, AnOutputUnpluggedLeavesTheFloorOnTheOther) {
    if (const std::string why = HeadlessSway::unavailableReason(); !why.empty()) GTEST_SKIP() << why;
    HeadlessSway host({{1280, 720, 0, 0, {40, 40, 40}}});
    ASSERT_TRUE(host.ok()) << host.log();
    HeadlessSway nested({{640, 480, 0, 0, {255, 0, 0}}, {320, 240, 640, 0, {0, 255, 0}}}, host);
    ASSERT_TRUE(nested.ok()) << nested.log();
    Viewer viewer(nested);
    ASSERT_TRUE(viewer.covers(nested, "WL-1", {255, 0, 0})) << viewer.process->errors();
    ASSERT_TRUE(viewer.covers(nested, "WL-2", {0, 255, 0})) << viewer.process->errors();
    ASSERT_TRUE(nested.unplug("WL-2"));
    ASSERT_TRUE(pollUntil(30s, [&] { return !nested.screenshot("WL-2"); })) << nested.log();
    EXPECT_TRUE(viewer.moves(nested, "WL-1")) << viewer.process->errors();
    EXPECT_TRUE(viewer.covers(nested, "WL-1", {255, 0, 0}));
    EXPECT_EQ(viewer.process->errors().find("Mirevo.dll:"), std::string::npos) << viewer.process->errors();
    viewer.process->terminate();
}

} // namespace
} // namespace mirevo::test
