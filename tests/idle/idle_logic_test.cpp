// mirevo-idle's decisions without X or D-Bus: the command line, the inhibits and the daemon's reactions,
// which Mirevo.scr to run, the login entry and the timeout line.
#include <gtest/gtest.h>

#include "idle/autostart_entry.h"
#include "idle/idle_command_line.h"
#include "idle/idle_daemon.h"
#include "idle/idle_timeout.h"
#include "idle/saver_location.h"
#include "tests/idle/fake_idle.h"

namespace mirevo {
namespace {

TEST(IdleCommandLine, ReadsEachOptionAndRefusesAnythingElseInOneLine) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        // accepted: timeout / autostart / help+version as read
        {{}, "- - 00"},
        {{"--timeout=0", "--autostart", "on"}, "0 1 00"},
        {{"--timeout", "9", "--timeout", "546", "--autostart=off"}, "546 0 00"},
        {{"-h", "--version"}, "- - 11"},
        // refused: part of the one line
        {{"--timeout", "547"}, "from 0 to 546, not \"547\""},
        {{"--timeout", "2.5"}, "not \"2.5\""},
        {{"--timeout"}, "--timeout needs a value"},
        {{"--autostart", "yes"}, "on or off, not \"yes\""},
        {{"--help=me"}, "--help takes no value"},
        {{"--bogus\n\x1b[2J"}, "unknown argument \"--bogus??[2J\""},
    };
    for (const auto& [arguments, expected] : cases) {
        const auto parsed = parseIdleCommandLine(arguments);
        if (auto* error = std::get_if<IdleUsageError>(&parsed)) {
            EXPECT_EQ(error->line.rfind("mirevo-idle: ", 0), 0u);
            EXPECT_NE(error->line.find(expected), std::string::npos) << error->line;
            continue;
        }
        const auto& o = std::get<IdleOptions>(parsed);
        const std::string read = (o.timeoutMinutes ? std::to_string(*o.timeoutMinutes) : "-") + " " +
                                 (o.autostart ? std::to_string(*o.autostart) : "-") + " " +
                                 std::to_string(o.help) + std::to_string(o.version);
        EXPECT_EQ(read, expected) << ::testing::PrintToString(arguments);
    }
}

TEST(IdleDaemon, InhibitsSuspendTheTimerUntilTheLastIsReleasedOrItsOwnerLeaves) {
    RecordingSource source;
    CountingStarter starter;
    IdleDaemon daemon(source, starter, [] { return IdleDaemon::Clock::time_point{}; });
    uint32_t a1 = 0, a2 = 0, b = 0;
    daemon.inhibit(":1.5", a1), daemon.inhibit(":1.5", a2), daemon.inhibit(":1.6", b);
    EXPECT_TRUE(a1 && a2 && b && a1 != a2 && a2 != b && a1 != b);
    EXPECT_EQ(source.suspends, std::vector<bool>{true}) << "suspended once, however many inhibits";
    daemon.serverSaverOn(); // a notice that crossed the inhibit starts nothing
    EXPECT_EQ(starter.started, 0);

    EXPECT_EQ(daemon.uninhibit(":1.6", a1), ReleaseOutcome::OtherOwner);
    EXPECT_EQ(daemon.uninhibit(":1.5", a1), ReleaseOutcome::Released);
    EXPECT_EQ(daemon.uninhibit(":1.5", a1), ReleaseOutcome::UnknownCookie);
    daemon.ownerLeft(":1.6");
    EXPECT_EQ(source.suspends.size(), 1u);
    daemon.ownerLeft(":1.5"); // its second cookie goes with it
    EXPECT_EQ(source.suspends, (std::vector<bool>{true, false}));
    daemon.simulateUserActivity();
    EXPECT_EQ(source.resets, 1);

    InhibitBook book(0xFFFFFFFFu); // cookies wrap past 0, which callers read as "none"
    book.add("a", a1), book.add("a", a2);
    EXPECT_EQ(a2, 1u);
    for (size_t i = 2; i < InhibitBook::kMaxPerOwner; ++i)
        book.add("a", b);
    EXPECT_EQ(book.add("a", b), InhibitOutcome::TooMany);
    EXPECT_EQ(book.add("b", b), InhibitOutcome::Held);
}

TEST(IdleDaemon, ActiveFromTheServersSaverOnUntilTheLastSessionEnds) {
    RecordingSource source;
    CountingStarter starter;
    IdleDaemon::Clock::time_point now{};
    IdleDaemon daemon(source, starter, [&] { return now; });
    std::vector<bool> changes;
    daemon.onActiveChanged([&](bool active) { changes.push_back(active); });

    daemon.serverSaverOn();
    now += std::chrono::milliseconds(2900);
    EXPECT_EQ(daemon.activeSeconds(), 2u);
    daemon.serverSaverOff(); // the viewer holds the server's saver off while it shows
    daemon.serverSaverOn();  // a second start, which ends at once as the first still runs
    daemon.serverSaverOff();
    daemon.sessionEnded();
    EXPECT_TRUE(daemon.active());
    daemon.sessionEnded();
    EXPECT_EQ(daemon.activeSeconds(), 0u);
    starter.works = false; // a saver that cannot start: active only while the server says so
    daemon.serverSaverOn();
    daemon.serverSaverOff();
    EXPECT_EQ(changes, (std::vector<bool>{true, false, true, false}));
}

TEST(IdleSaverLocation, TheSaverBesideTheProgramElseTheInstalledOne) {
    std::vector<std::string> present{"/opt/m/lib/mirevo/Mirevo.scr"};
    auto isProgram = [&](const std::string& p) { return std::count(present.begin(), present.end(), p) > 0; };
    EXPECT_EQ(findSaverProgram("/opt/m/bin", isProgram), present[0]);
    present.push_back("/opt/m/bin/Mirevo.scr");
    EXPECT_EQ(findSaverProgram("/opt/m/bin/", isProgram), present[1]);
    EXPECT_EQ(findSaverProgram("/elsewhere", isProgram), std::nullopt);
}

TEST(IdleAutostart, EntryPathAndExecQuoting) {
    EXPECT_EQ(autostartEntryPath("relative", "/home/u"), "/home/u/.config/autostart/mirevo-idle.desktop");
    EXPECT_EQ(autostartEntryPath("", ""), "") << "the user database is not asked";

    const std::pair<std::string, std::string> quoting[] = {
        {"/usr/bin/mirevo-idle", "/usr/bin/mirevo-idle"},
        {"/tmp/100%/x", "/tmp/100%%/x"},
        {"/tmp/$HOME`x`\"q\"", R"("/tmp/\\$HOME\\`x\\`\\"q\\"")"},
        {"/tmp/back\\slash", R"("/tmp/back\\\\slash")"},
    };
    for (const auto& [argument, quoted] : quoting)
        EXPECT_EQ(execArgument(argument), quoted) << argument;
    const auto entry = autostartEntryText("/opt/a b/mirevo-idle", {"--timeout", "5"});
    EXPECT_NE(entry.value_or("").find(
                  "\nExec=\"/opt/a b/mirevo-idle\" --timeout 5\nTryExec=/opt/a b/mirevo-idle\n"),
              std::string::npos);
    EXPECT_FALSE(autostartEntryText("/opt/line\nbreak/mirevo-idle", {}));
}

TEST(IdleTimeout, OneLineSaysTheTimeAndWhoseSettingItIs) {
    EXPECT_EQ(timeoutLine(600, true),
              "mirevo-idle: the screen saver starts after 10 minutes without input (set "
              "by --timeout)");
    EXPECT_NE(timeoutLine(60, false).find("after 1 minute without"), std::string::npos);
    EXPECT_NE(timeoutLine(0, false).find("never starts by itself"), std::string::npos);
}

} // namespace
} // namespace mirevo
