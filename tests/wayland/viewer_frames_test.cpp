// The viewer's frames on a compositor of our own with two outputs that answers frame callbacks on the
// second only: the first, which never asks for a frame, is not drawn on again, the second goes on, and the
// viewer still ends at once when stopped or when the compositor goes.
#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

long commitsOn(const std::string& said, int output) {
    const std::string line = "commit " + std::to_string(output) + " ";
    long count = 0;
    for (auto at = said.find(line); at != std::string::npos; at = said.find(line, at + 1))
        ++count;
    return count;
}

class ViewerOnWithholdingCompositor : public ::testing::Test {
protected:
    void SetUp() override {
        // Two outputs, the first never answered.
        ASSERT_EQ(::mkfifo((runtime / "commands").c_str(), 0600), 0);
        compositor = std::make_unique<ChildProcess>(
            std::vector<std::string>{MIREVO_RECORDING_COMPOSITOR, "wayland-withholding", runtime / "commands", "2", "0"},
            std::map<std::string, std::optional<std::string>>{{"XDG_RUNTIME_DIR", runtime.path()}});
        ASSERT_TRUE(pollUntil(10s, [&] { return compositor->output() == "ready\n" || !compositor->running(); }) &&
                    compositor->running()) << compositor->errors();
        viewer = std::make_unique<ChildProcess>(
            std::vector<std::string>{builtProgram("Mirevo.dll")},
            std::map<std::string, std::optional<std::string>>{{"XDG_RUNTIME_DIR", runtime.path()},
                                                              {"WAYLAND_DISPLAY", "wayland-withholding"},
                                                              {"MIREVO_PLATFORM", "wayland"},
                                                              {"LIBGL_ALWAYS_SOFTWARE", "1"},
                                                              {"DISPLAY", std::nullopt}});
        // The answered output's frames go on.
        ASSERT_TRUE(pollUntil(60s, [&] { return commitsOn(compositor->output(), 1) >= 20 || !viewer->running(); }) &&
                    viewer->running()) << viewer->errors() << compositor->output();
    }
    // Ends within a generous second once asked; its exit code.
    std::optional<int> endsAtOnce() {
        const auto asked = std::chrono::steady_clock::now();
        const auto code = viewer->waitExit(10s);
        EXPECT_LE(std::chrono::steady_clock::now() - asked, 2s);
        return code;
    }

    TempDir runtime;
    std::unique_ptr<ChildProcess> compositor, viewer;
};

TEST_F(ViewerOnWithholdingCompositor, AnOutputThatAsksForNoFrameIsNotDrawnOnWhileTheOtherGoesOnAndAStopEndsIt) {
    // Its black while the picture loaded, and at most the first frame of the floor.
    EXPECT_LE(commitsOn(compositor->output(), 0), 2) << compositor->output();
    ASSERT_EQ(::kill(viewer->pid(), SIGTERM), 0);
    EXPECT_EQ(endsAtOnce(), 0) << viewer->errors();
    EXPECT_LE(commitsOn(compositor->output(), 0), 2);
}

TEST_F(ViewerOnWithholdingCompositor, TheCompositorGoneEndsItWithOneLine) {
    compositor->terminate();
    EXPECT_EQ(endsAtOnce(), 0);
    const std::string said = viewer->errors();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("compositor went away"), std::string::npos) << said;
}

} // namespace
} // namespace mirevo::test
