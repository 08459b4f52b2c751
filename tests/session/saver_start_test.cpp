// Mirevo.scr /s starting in a Wayland session of the tests' own compositor: a stop signal while a desktop is
// slow to give its picture ends it at once and frees its lock, and a compositor that is slow to answer is
// waited for, never taken for a missing X display.
#include <csignal>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "tests/harness/child_process.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/session/picture_compositor.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::map<std::string, std::optional<std::string>> saverEnvironment(const PictureCompositor& compositor,
                                                                   const std::string& bus) {
    auto env = compositor.clientEnvironment();
    env["HOME"] = compositor.runtime();
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.empty() ? std::nullopt : std::optional(bus);
    env["MIREVO_PLATFORM"] = std::nullopt;
    return env;
}

// The portal waits on a person who is not there (or a file that never ends): the saver, stopped meanwhile,
// ends at once without a picture, a viewer or a word, and the next start gets the display's lock.
TEST(SaverStart, AStopWhileThePortalKeepsThePictureEndsItAtOnceAndFreesTheLock) {
    PictureCompositor compositor({"--copy", "none"});
    ASSERT_TRUE(compositor.ok()) << compositor.process().errors();
    DBusSession bus({}, DBusSession::Activation::Off);
    ASSERT_TRUE(bus.ok());
    ChildProcess portal({MIREVO_FAKE_SERVICES, "portal-silent", "", "--store", "yes"},
                        {{"DBUS_SESSION_BUS_ADDRESS", bus.address()}, {"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_TRUE(pollUntil(20s, [&] { return portal.output() == "ready\n" || !portal.running(); })) << portal.errors();
    const auto asked = [&] {
        const std::string calls = portal.errors();
        size_t count = 0;
        for (size_t at = calls.find("Screenshot "); at != std::string::npos; at = calls.find("Screenshot ", at + 1))
            ++count;
        return count;
    };

    ChildProcess saver({builtProgram("Mirevo.scr"), "/s"}, saverEnvironment(compositor, bus.address()));
    ASSERT_TRUE(pollUntil(30s, [&] { return asked() == 1 || !saver.running(); })) << saver.errors();
    ASSERT_TRUE(saver.running()) << saver.errors();
    const auto stopped = std::chrono::steady_clock::now();
    ::kill(saver.pid(), SIGTERM);
    EXPECT_EQ(saver.waitExit(10s), 0) << saver.errors();
    // Well before the portal's few seconds were up, and with nothing begun after the picture.
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 3s);
    EXPECT_FALSE(fs::exists(compositor.runtime() + "/Tovik.bmp"));
    EXPECT_EQ(saver.errors(), "");

    // The lock went with it: the next start runs as far as the portal.
    ChildProcess next({builtProgram("Mirevo.scr"), "/s"}, saverEnvironment(compositor, bus.address()));
    EXPECT_TRUE(pollUntil(30s, [&] { return asked() == 2 || !next.running(); })) << next.errors();
    EXPECT_TRUE(next.running()) << next.errors();
}

// A compositor stalled when the saver starts (a busy login): the saver says it waits, and once the compositor
// answers it takes the desktop's picture there, never blaming a missing X display.
TEST(SaverStart, ACompositorSlowToAnswerIsWaitedFor) {
    PictureCompositor compositor;
    ASSERT_TRUE(compositor.ok()) << compositor.process().errors();
    ::kill(compositor.process().pid(), SIGSTOP);
    ChildProcess saver({builtProgram("Mirevo.scr"), "/s"}, saverEnvironment(compositor, ""));
    const bool waiting = pollUntil(30s, [&] {
        return saver.errors().find("waiting for the compositor") != std::string::npos || !saver.running();
    });
    ::kill(compositor.process().pid(), SIGCONT);
    ASSERT_TRUE(waiting && saver.running()) << saver.errors();
    ASSERT_TRUE(pollUntil(30s, [&] { return fs::exists(compositor.runtime() + "/Tovik.bmp") || !saver.running(); }))
        << saver.errors();
    EXPECT_TRUE(fs::exists(compositor.runtime() + "/Tovik.bmp")) << saver.errors();
    EXPECT_EQ(saver.errors().find("X display"), std::string::npos) << saver.errors();
    EXPECT_EQ(saver.errors().find("no desktop picture"), std::string::npos) << saver.errors();
    saver.terminate();
}

} // namespace
} // namespace mirevo::test
