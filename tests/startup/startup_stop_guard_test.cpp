// A stop signal ends the saver at every moment of its start-up, even one stuck where nothing looks for it.
#include "saver/startup_stop_guard.h"

#include <csignal>
#include <cstdlib>

#include <gtest/gtest.h>
#include <unistd.h>

#include "common/posix/posix_stop_signals.h"

namespace mirevo {
namespace {

using namespace std::chrono_literals;

// A start-up stuck in a call that never looks for the stop (here: pause, which the signal only interrupts).
TEST(StartupStopGuardDeathTest, EndsAStartUpThatDoesNotAnswerTheStop) {
    EXPECT_EXIT(
        {
            catchStopSignals();
            StartupStopGuard guard(100ms);
            std::raise(SIGTERM);
            for (;;)
                ::pause();
        },
        ::testing::ExitedWithCode(0), "asked to stop during its start-up");
}

// Once the start-up is over (or has acted on the stop itself), the guard stands aside.
TEST(StartupStopGuardDeathTest, StandsAsideOnceDisarmed) {
    EXPECT_EXIT(
        {
            catchStopSignals();
            StartupStopGuard guard(30s);
            std::raise(SIGTERM);
            guard.disarm();
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}

} // namespace
} // namespace mirevo
