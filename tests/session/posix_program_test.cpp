// Ending the viewer's process when the session ends first.
#include "saver/session/posix_program.h"

#include <cerrno>
#include <chrono>
#include <csignal>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/harness/poll.h"
#include "tests/harness/temp_dir.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

// A viewer that ignored the request to end used to be left running once its saver was gone.
TEST(StartedProgram, EndingTakesItDownAndCollectsIt) {
    struct Case {
        const char* name;
        const char* script;
        std::chrono::milliseconds atLeast, atMost;
    };
    // Each says when it has set up its signal handling by making the file "ready" beside it.
    const Case cases[] = {
        {"ignores SIGTERM", "trap '' TERM; touch \"$0.ready\"; while :; do sleep 1; done",
         StartedProgram::kEndGrace, 2 * StartedProgram::kEndGrace},
        {"ends on SIGTERM", "touch \"$0.ready\"; exec sleep 30", 0ms, StartedProgram::kEndGrace},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / c.name;
        ASSERT_TRUE(writeFile(path, std::string("#!/bin/sh\n") + c.script + "\n"));
        ASSERT_EQ(::chmod(path.c_str(), 0700), 0);
        StartedProgram program;
        ASSERT_TRUE(program.start(path));
        const pid_t pid = program.pid();
        ASSERT_TRUE(pollUntil(10s, [&] { return ::access((path + ".ready").c_str(), F_OK) == 0; }));
        EXPECT_FALSE(program.ended());

        const auto start = std::chrono::steady_clock::now();
        program.end();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, c.atLeast);
        EXPECT_LT(took, c.atMost);
        EXPECT_TRUE(program.ended());
        EXPECT_EQ(::kill(pid, 0), -1) << "no zombie is left";
        EXPECT_EQ(errno, ESRCH);
    }
}

} // namespace
} // namespace mirevo::test
