// The viewer on a compositor of our own that records every buffer committed (its size, its scale, the opaque
// region in force, the pixels it changes and whether its damage covers them), and that plugs outputs in,
// unplugs them and changes their scale when told.
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

struct Commit {
    int output = -1, width = 0, height = 0, scale = 0;
    int opaqueX = 0, opaqueY = 0, opaqueWidth = 0, opaqueHeight = 0;
    long changed = 0, missed = 0;
};

std::vector<Commit> commitsIn(const std::string& said) {
    std::vector<Commit> commits;
    std::istringstream in(said);
    std::string line;
    while (std::getline(in, line)) {
        Commit c;
        if (std::sscanf(line.c_str(), "commit %d %dx%d scale %d opaque %d,%d,%d,%d changed %ld missed %ld", &c.output,
                        &c.width, &c.height, &c.scale, &c.opaqueX, &c.opaqueY, &c.opaqueWidth, &c.opaqueHeight,
                        &c.changed, &c.missed) == 10)
            commits.push_back(c);
    }
    return commits;
}

class ViewerOnRecordingCompositor : public ::testing::Test {
protected:
    void start(int outputs) {
        ASSERT_EQ(::mkfifo(commandsPath.c_str(), 0600), 0);
        compositor = std::make_unique<ChildProcess>(
            std::vector<std::string>{MIREVO_RECORDING_COMPOSITOR, "wayland-recording", commandsPath,
                                     std::to_string(outputs)},
            std::map<std::string, std::optional<std::string>>{{"XDG_RUNTIME_DIR", runtime.path()}});
        ASSERT_TRUE(pollUntil(10s, [&] { return compositor->output() == "ready\n" || !compositor->running(); }) &&
                    compositor->running()) << compositor->errors();
        // A snapshot of fine detail, so that every frame of the moving floor changes pixels.
        ASSERT_TRUE(writeFile(runtime / "Tovik.bmp", makeBmp(256, 256, [](int x, int y) {
                                  return Rgb{uint8_t(x * 16), uint8_t(y * 16), uint8_t((x ^ y) * 8)};
                              })));
        viewer = std::make_unique<ChildProcess>(
            std::vector<std::string>{builtProgram("Mirevo.dll")},
            std::map<std::string, std::optional<std::string>>{{"XDG_RUNTIME_DIR", runtime.path()},
                                                              {"WAYLAND_DISPLAY", "wayland-recording"},
                                                              {"MIREVO_PLATFORM", "wayland"},
                                                              {"LIBGL_ALWAYS_SOFTWARE", "1"},
                                                              {"DISPLAY", std::nullopt}});
    }
    void tell(const std::string& command) {
        const int fd = ::open(commandsPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        const std::string line = command + "\n";
        EXPECT_EQ(::write(fd, line.data(), line.size()), ssize_t(line.size()));
        ::close(fd);
        ASSERT_TRUE(pollUntil(10s, [&] { return compositor->output().find("did " + command + "\n") != std::string::npos; }))
            << command;
    }
    // Commits recorded from the index `from` on.
    std::vector<Commit> commits(size_t from = 0) const {
        auto all = commitsIn(compositor->output());
        all.erase(all.begin(), all.begin() + long(std::min(from, all.size())));
        return all;
    }
    // Buffers the output's surface committed after the compositor had closed it.
    size_t lateCommits(int output) const {
        const std::string said = compositor->output(), line = "late " + std::to_string(output) + "\n";
        size_t n = 0;
        for (size_t at = said.find(line); at != std::string::npos; at = said.find(line, at + 1))
            n += at == 0 || said[at - 1] == '\n';
        return n;
    }
    // Waits until `count` commits on the output have come after the index `from`; true if they did while the
    // viewer ran.
    bool framesOn(int output, size_t count, size_t from = 0) {
        return pollUntil(60s, [&] {
                   size_t n = 0;
                   for (const Commit& c : commits(from))
                       n += c.output == output;
                   return n >= count || !viewer->running();
               }) &&
               viewer->running();
    }

    TempDir runtime;
    std::string commandsPath = runtime / "commands";
    std::unique_ptr<ChildProcess> compositor, viewer;
};

// Each buffer is the output's own pixels at its scale, all of it opaque: 320 x 240 at scale 1, 320 x 240 at
// scale 2 once the output's scale is 2 (not a blurred quarter, 160 x 120), and back.
TEST_F(ViewerOnRecordingCompositor, ABufferFollowsItsOutputsScaleAndIsOpaque) {
    start(1);
    ASSERT_TRUE(framesOn(0, 5)) << viewer->errors();
    for (const int scale : {2, 1, 2}) {
        const size_t from = commits().size();
        tell("scale 0 " + std::to_string(scale));
        // The surface sized again at the new logical size; a frame or two drawn before may still come.
        const int logicalWidth = 320 / scale, logicalHeight = 240 / scale;
        ASSERT_TRUE(pollUntil(60s, [&] {
            const auto seen = commits(from);
            return (!seen.empty() && seen.back().scale == scale && seen.back().width == 320) || !viewer->running();
        }) && viewer->running()) << "scale " << scale << "\n" << compositor->output() << viewer->errors();
        const size_t settled = commits().size();
        ASSERT_TRUE(framesOn(0, 3, settled));
        for (const Commit& c : commits(settled)) {
            EXPECT_EQ(c.width, 320) << "scale " << scale;
            EXPECT_EQ(c.height, 240) << "scale " << scale;
            EXPECT_EQ(c.scale, scale);
            EXPECT_EQ(c.opaqueX, 0);
            EXPECT_EQ(c.opaqueY, 0);
            EXPECT_EQ(c.opaqueWidth, logicalWidth) << "scale " << scale;
            EXPECT_EQ(c.opaqueHeight, logicalHeight) << "scale " << scale;
        }
    }
}

// Every frame's damage covers each pixel that differs from the frame shown before it on that surface (the
// compositor reads both buffers back), and the floor does move.
TEST_F(ViewerOnRecordingCompositor, EveryFramesDamageCoversWhatChanged) {
    start(2);
    ASSERT_TRUE(framesOn(0, 30) && framesOn(1, 30)) << viewer->errors();
    const auto seen = commits();
    long changing = 0;
    for (const Commit& c : seen) {
        EXPECT_EQ(c.missed, 0) << "output " << c.output << ": " << c.changed << " changed";
        changing += c.changed > 0;
    }
    EXPECT_GE(changing, long(seen.size()) * 3 / 4);
}

// An output plugged in is covered at once; one unplugged (its surface closed, then its output gone) leaves the
// floor going on the others.
TEST_F(ViewerOnRecordingCompositor, AnOutputPluggedInIsCoveredAndOneUnpluggedLeavesTheOthers) {
    start(2);
    ASSERT_TRUE(framesOn(0, 3) && framesOn(1, 3)) << viewer->errors();
    tell("add");
    ASSERT_TRUE(framesOn(2, 10)) << viewer->errors() << compositor->output();
    tell("remove 0");
    const size_t after = commits().size();
    ASSERT_TRUE(framesOn(1, 20, after) && framesOn(2, 20, after)) << viewer->errors();
    for (const Commit& c : commits(after))
        EXPECT_NE(c.output, 0);
    // A frame already on its way when the surface was closed may still arrive; the floor stops there.
    EXPECT_LE(lateCommits(0), 2u);
    tell("remove 2");
    ASSERT_TRUE(framesOn(1, 20, commits().size())) << viewer->errors();
    EXPECT_EQ(viewer->errors(), "");
    // The last one unplugged and one plugged in again.
    tell("remove 1");
    tell("add");
    ASSERT_TRUE(framesOn(3, 5)) << viewer->errors();
    ASSERT_EQ(::kill(viewer->pid(), SIGTERM), 0);
    EXPECT_EQ(viewer->waitExit(10s), 0);
}

} // namespace
} // namespace mirevo::test
