// mirevo-idle's decisions without X or D-Bus: the command line, the inhibits and the daemon's reactions,
// what it says of them, which Mirevo.scr to run, the login entry, the timeout line and which bus to use.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/session_bus.h"
#include "idle/daemon/autostart_entry.h"
#include "idle/daemon/idle_command_line.h"
#include "idle/daemon/idle_daemon.h"
#include "idle/sources/idle_source_choice.h"
#include "idle/daemon/idle_status.h"
#include "idle/daemon/idle_timeout.h"
#include "common/printable_text.h"
#include "idle/daemon/saver_location.h"
#include "idle/sources/idle_watch.h"
#include "tests/harness/scoped_env.h"
#include "tests/harness/temp_dir.h"
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
        // the test-only idle time in seconds wins over --timeout's minutes
        {{"--timeout", "5", "--idle-seconds", "3"}, "5 - 00 3s"},
        {{"--idle-seconds=32760"}, "- - 00 32760s"},
        // refused: part of the one line
        {{"--timeout", "547"}, "from 0 to 546, not \"547\""},
        {{"--timeout", "2.5"}, "not \"2.5\""},
        {{"--timeout"}, "--timeout needs a value"},
        {{"--autostart", "yes"}, "on or off, not \"yes\""},
        {{"--help=me"}, "--help takes no value"},
        {{"--bogus\n\x1b[2J"}, "unknown argument \"--bogus??[2J\""},
        {{"--idle-seconds", "32761"}, "from 0 to 32760, not \"32761\""},
    };
    for (const auto& [arguments, expected] : cases) {
        const auto parsed = parseIdleCommandLine(arguments);
        if (!parsed) {
            const IdleUsageError* error = &parsed.reason();
            EXPECT_EQ(error->line.find('\n'), std::string::npos);
            EXPECT_NE(error->line.find(expected), std::string::npos) << error->line;
            continue;
        }
        const auto& o = *parsed;
        const std::string read = (o.timeoutMinutes ? std::to_string(*o.timeoutMinutes) : "-") + " " +
                                 (o.autostart ? std::to_string(*o.autostart) : "-") + " " +
                                 std::to_string(o.help) + std::to_string(o.version) +
                                 (o.timeoutSeconds ? " " + std::to_string(*requestedTimeoutSeconds(o)) + "s" : "");
        EXPECT_EQ(read, expected) << ::testing::PrintToString(arguments);
    }
}

// The locking options: a grace time in whole seconds up to a day, a command of one printable line that only
// makes sense with it; the login entry carries both as they were given.
TEST(IdleCommandLine, LockingOptionsAndTheLoginEntryThatKeepsThem) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--lock-after", "0"}, "0 \"\""},
        {{"--lock-after=86400", "--lock-command", "swaylock -f -c 000000"}, "86400 \"swaylock -f -c 000000\""},
        {{"--lock-after", "86401"}, "from 0 to 86400, not \"86401\""},
        {{"--lock-after", "-5"}, "not \"-5\""},
        {{"--lock-command", "i3lock"}, "--lock-command names what locks once --lock-after SECONDS turns locking on"},
        {{"--lock-after", "5", "--lock-command", " "}, "--lock-command needs a command"},
        {{"--lock-after", "5", "--lock-command", "lock\nrm -rf ~"}, "one line of at most 4096 bytes"},
        {{"--lock-after", "5", "--lock-command", std::string(4097, 'x')}, "one line of at most 4096 bytes"},
    };
    for (const auto& [arguments, expected] : cases) {
        const auto parsed = parseIdleCommandLine(arguments);
        const std::string got = parsed ? std::to_string(parsed->lockAfterSeconds.value_or(-1)) + " \"" +
                                             parsed->lockCommand + "\""
                                       : parsed.reason().line;
        EXPECT_NE(got.find(expected), std::string::npos) << got;
    }
    const auto options = parseIdleCommandLine(
        {"--autostart", "on", "--timeout", "5", "--lock-after", "30", "--lock-command", "swaylock -f -c \"$HOME\""});
    ASSERT_TRUE(options);
    const auto entry = autostartEntryText("/usr/bin/mirevo-idle", daemonArguments(*options));
    EXPECT_NE(entry.value_or("").find("\nExec=/usr/bin/mirevo-idle --timeout 5 --lock-after 30 --lock-command "
                                      "\"swaylock -f -c \\\\\"\\\\$HOME\\\\\"\"\n"),
              std::string::npos)
        << entry.value_or("");
}

Inhibit heldBy(const std::string& owner) {
    return {owner, "app", "why", {}};
}

TEST(IdleDaemon, InhibitsSuspendTheTimerUntilTheLastIsReleasedOrItsOwnerLeaves) {
    RecordingSource source;
    CountingStarter starter;
    IdleDaemon daemon(source, starter, [] { return IdleDaemon::Clock::time_point{}; });
    const uint32_t a1 = *daemon.inhibit(":1.5", "mpv", "video"), a2 = *daemon.inhibit(":1.5", "mpv", "video");
    const uint32_t b = *daemon.inhibit(":1.6", "firefox", "audio");
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
    EXPECT_EQ(*book.add(heldBy("a")), 0xFFFFFFFFu);
    EXPECT_EQ(*book.add(heldBy("a")), 1u);
}

// Many callers, each at its bound: every call finds the caller's own cookies without a walk over the others'
// (bench/idle measures the cost), and each caller's bound and departure concern its cookies alone.
TEST(InhibitBook, ThreeHundredCallersAtTheirBoundKeepTheirOwnCookies) {
    InhibitBook book;
    const auto t0 = std::chrono::steady_clock::time_point{};
    std::vector<std::vector<uint32_t>> cookies(300);
    for (size_t i = 0; i < InhibitBook::kMaxPerOwner; ++i)
        for (size_t caller = 0; caller < cookies.size(); ++caller) {
            const InhibitResult cookie =
                book.add({":1." + std::to_string(caller), "app", "why", t0 + std::chrono::seconds(i)});
            ASSERT_TRUE(cookie.ok());
            cookies[caller].push_back(*cookie);
        }
    EXPECT_FALSE(book.add(heldBy(":1.7")).ok());
    EXPECT_EQ(book.release(":1.8", cookies[7][0]), ReleaseOutcome::OtherOwner);
    Inhibit released;
    EXPECT_EQ(book.release(":1.7", cookies[7][0], &released), ReleaseOutcome::Released);
    EXPECT_EQ(released.since, t0);
    EXPECT_TRUE(book.add(heldBy(":1.7")).ok()) << "a released cookie makes room";
    EXPECT_EQ(book.dropOwner(":1.9").size(), InhibitBook::kMaxPerOwner);
    EXPECT_FALSE(book.holds(":1.9"));
    EXPECT_EQ(book.release(":1.9", cookies[9][5]), ReleaseOutcome::UnknownCookie);
    const auto all = book.list();
    ASSERT_EQ(all.size(), 299 * InhibitBook::kMaxPerOwner);
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](auto& a, auto& b) { return a.since < b.since; }));
    EXPECT_EQ(book.dropAll().size(), all.size());
    EXPECT_FALSE(book.held() || book.holds(":1.0"));
}

// Each inhibit taken or given up is one line with the two strings its caller gave, made safe to print; the
// loss of the bus drops every inhibit at once and lets the server's timer run.
TEST(IdleDaemon, LogsEachInhibitAndDropsThemAllWithTheBus) {
    RecordingSource source;
    CountingStarter starter;
    IdleDaemon::Clock::time_point now{};
    IdleDaemon daemon(source, starter, [&] { return now; });
    std::vector<std::string> lines;
    daemon.onLog([&](const std::string& line) { lines.push_back(line); });
    daemon.inhibit(":1.5", "mpv\u202e", "Playing\nvideo\x1b[2J\u009b2J");
    now += std::chrono::seconds(90);
    daemon.inhibit(":1.6", "", std::string(500, 'r'));
    daemon.uninhibit(":1.7", *daemon.inhibit(":1.7", "firefox", "audio"));
    daemon.ownerLeft(":1.6");
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "\"mpv?\" holds the screen saver off: \"Playing?video?[2J?2J\"",
                         "a program without a name holds the screen saver off: \"" +
                             std::string(kMaxCallerText, 'r') + "\"",
                         "\"firefox\" holds the screen saver off: \"audio\"",
                         "\"firefox\" no longer holds the screen saver off (\"audio\")",
                         "a program without a name left the session bus; its hold on the screen "
                         "saver (\"" +
                             std::string(kMaxCallerText, 'r') + "\") is dropped",
                     }));
    const auto held = daemon.heldInhibits();
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0].heldSeconds, 90u);

    EXPECT_EQ(daemon.busLost(), 1u);
    EXPECT_FALSE(daemon.inhibited());
    EXPECT_EQ(source.suspends, (std::vector<bool>{true, false}));
    daemon.serverSaverOn();
    EXPECT_EQ(starter.started, 1);
    EXPECT_EQ(lines.size(), 5u) << "the bus's loss is the bus adapter's one line";
    EXPECT_EQ(callerText(std::string(kMaxCallerText - 1, 'x') + "\xe3\x81\x82yyy").size(), kMaxCallerText + 2)
        << "cut at a character's end";
}

// Whatever a caller or a user sends, what reaches the terminal holds no character that the terminal obeys
// (C0, DEL, C1, the bidirectional controls) and no malformed byte; every other character is kept as sent.
TEST(PrintableText, ControlsAndMalformedBytesAsQuestionMarksEveryOtherCharacterKept) {
    const std::pair<std::string, std::string> cases[] = {
        {"mpv: Playing video", "mpv: Playing video"},
        {"a\x1b[2Jb\tc\nd\x7f", "a?[2Jb?c?d?"},
        // C1, at both ends: U+0080, U+0085 (next line), U+009B (CSI), U+009F; U+00A0 and U+00E9 after them
        {"\u0080\u0085\u009b31m\u009f\u00a0\u00e9", "???31m?\u00a0\u00e9"},
        // the bidirectional controls
        {"\u202a\u202b\u202c\u202d\u202e", "?????"},
        {"\u2066\u2067\u2068\u2069", "????"},
        {"\u200e\u200f\u061c", "???"},
        // the line and paragraph separators, which many logs and editors take as line breaks
        {"a\u2028b\u2029c", "a?b?c"},
        // their neighbours are no controls: U+2027, U+202F, U+2065, U+206A, U+200D inside an emoji
        {"\u2027\u202f\u2065\u206a", "\u2027\u202f\u2065\u206a"},
        {"ｷｬﾝｾﾙ \U0001f469\u200d\U0001f4bb", "ｷｬﾝｾﾙ \U0001f469\u200d\U0001f4bb"},
        // malformed: a lone C1 byte (CSI in an 8-bit terminal), a cut character, an overlong NUL, a
        // surrogate, a stray continuation, a code point past U+10FFFF
        {"\x9bJ", "?J"},
        {"x\xe3\x81", "x??"},
        {"\xc0\x80", "??"},
        {"\xed\xa0\x80", "???"},
        {"\x80x", "?x"},
        {"\xf4\x90\x80\x80", "????"},
    };
    for (const auto& [given, shown] : cases) {
        EXPECT_EQ(printableText(given, 1000).text, shown) << ::testing::PrintToString(given);
        EXPECT_EQ(callerText(given), shown);
        EXPECT_FALSE(printableText(given, 1000).cut);
    }
    // Cut before the first character that would begin at the limit; one begun before it is kept whole.
    const PrintableText cut = printableText("ab\u3042xy", 3);
    EXPECT_EQ(cut.text, "ab\u3042");
    EXPECT_TRUE(cut.cut);
    EXPECT_FALSE(printableText("abc", 3).cut);
    // The command line's error line shows what was typed the same way.
    const auto refused = parseIdleCommandLine({"--timeout", "\u009b1m\u202e"});
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.reason().line.find("not \"?1m?\""), std::string::npos) << refused.reason().line;
}

TEST(IdleStatus, ListsTheIdleTimeTheSaverAndEachInhibitWithItsTimeOfDay) {
    test::ScopedEnv utc("TZ", "UTC");
    tzset();
    const std::time_t now = 86400 + 17 * 3600 + 4 * 60 + 50; // 17:04:50
    IdleStatus status{300, false, 0, {{"mpv", "Playing video", 12}, {"firefox", "audio", 3 * 3600 + 120}}, "", {}};
    EXPECT_EQ(statusText(status, now), "idle time: 5 minutes\n"
                                       "screen saver: not active\n"
                                       "held off by 2 inhibits:\n"
                                       "  \"mpv\": \"Playing video\" since 17:04:38 (12 seconds)\n"
                                       "  \"firefox\": \"audio\" since 14:02:50 (3 hours 2 minutes)\n");
    EXPECT_EQ(statusText({0, true, 61, {}, "the Wayland compositor (ext-idle-notify-v1)", {"locking: off"}}, now),
              "idle time: none (the screen saver never starts by itself)\n"
              "idle from: the Wayland compositor (ext-idle-notify-v1)\n"
              "screen saver: active for 1 minute\n"
              "held off by: nothing\n"
              "locking: off\n");
    tzset();
}

TEST(SessionBus, OnlyTheBusTheEnvironmentNamesNeverOneStartedForIt) {
    const std::string sockets[] = {"/run/user/1000/bus", "/tmp/a b%/bus"};
    auto isSocket = [&](const std::string& p) {
        return std::count(std::begin(sockets), std::end(sockets), p) > 0;
    };
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"unix:path=/x", "/run/user/1000", "unix:path=/x"},
        {"", "/run/user/1000", "unix:path=/run/user/1000/bus"},
        {"", "/tmp/a b%", "unix:path=/tmp/a%20b%25/bus"},
        {"disabled:", "/run/user/1000", ""},
        {"", "/run/user/1001", ""},
        {"", "run/user/1000", ""},
        {"", "", ""},
    };
    for (const auto& [address, runtime, expected] : cases)
        EXPECT_EQ(sessionBusAddress(address, runtime, isSocket), expected) << address << " " << runtime;
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

// Once the screen is locked, the lock screen is the desktop's screen saver: no session starts until the user's
// next input.
TEST(IdleDaemon, NoSessionStartsUnderTheLockUntilTheUserIsBack) {
    RecordingSource source;
    CountingStarter starter;
    IdleDaemon daemon(source, starter, [] { return IdleDaemon::Clock::time_point{}; });
    daemon.screenLocked();
    daemon.serverSaverOn();
    EXPECT_EQ(starter.started, 0);
    daemon.serverSaverOff(); // input: the user is back
    daemon.serverSaverOn();
    EXPECT_EQ(starter.started, 1);
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
    auto database = [] { return std::string("/home/db"); };
    EXPECT_EQ(autostartEntryPath("relative", "/home/u", database),
              "/home/u/.config/autostart/mirevo-idle.desktop");
    EXPECT_EQ(autostartEntryPath("", "", database), "/home/db/.config/autostart/mirevo-idle.desktop");
    EXPECT_EQ(autostartEntryPath("", "", [] { return std::string(); }), "");

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

// on and off touch only an entry that carries the marker; another's entry, a link or a FIFO in its place is
// left as it was, with one line that says so.
TEST(IdleAutostart, OnlyAnEntryMirevoWroteIsReplacedOrRemoved) {
    test::TempDir folder;
    const std::string entry = folder / "autostart/mirevo-idle.desktop";
    EXPECT_TRUE(setAutostart(true, entry, "/usr/bin/mirevo-idle", {}).ok);
    EXPECT_TRUE(isOwnAutostartEntry(test::readFile(entry)));
    EXPECT_TRUE(setAutostart(true, entry, "/usr/bin/mirevo-idle", {"--timeout", "5"}).ok);
    EXPECT_NE(test::readFile(entry).find("--timeout 5"), std::string::npos);
    EXPECT_TRUE(setAutostart(false, entry, "", {}).ok);
    EXPECT_FALSE(std::filesystem::exists(entry));

    const std::string theirs = "[Desktop Entry]\nExec=my-idle-watch\n# X-Mirevo-Written-By=mirevo-idle\n";
    test::writeFile(entry, theirs);
    for (bool on : {true, false}) {
        const AutostartResult result = setAutostart(on, entry, "/usr/bin/mirevo-idle", {});
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.line.find("was not written by mirevo-idle"), std::string::npos) << result.line;
        EXPECT_EQ(test::readFile(entry), theirs);
    }
    std::filesystem::remove(entry);
    ASSERT_EQ(mkfifo(entry.c_str(), 0600), 0);
    EXPECT_FALSE(setAutostart(false, entry, "", {}).ok);
    EXPECT_TRUE(std::filesystem::is_fifo(entry));
}

// Each candidate answers opened, not offered (an empty line) or failed (a line); the first that opens wins,
// one that fails ends the search, and none offered is the given line.
TEST(IdleSourceChoice, TheFirstOfferedOpensAFailureEndsTheSearch) {
    const std::pair<std::string, std::string> cases[] = {
        {"O--", "opened 0 after 1"},  {"-O-", "opened 1 after 2"},   {"--O", "opened 2 after 3"},
        {"F-O", "failed 0 after 1"},  {"-FO", "failed 1 after 2"},   {"---", "none after 3"},
    };
    for (const auto& [answers, expected] : cases) {
        int asked = 0;
        std::vector<IdleSourceOpener> candidates;
        for (size_t i = 0; i < answers.size(); ++i)
            candidates.push_back([&, i]() -> Result<OpenedIdleSource, std::string> {
                ++asked;
                if (answers[i] == 'O') return OpenedIdleSource{std::make_unique<RecordingSource>(), std::to_string(i)};
                return Failure(answers[i] == 'F' ? "failed " + std::to_string(i) : std::string());
            });
        const auto opened = openFirstIdleSource(candidates, "none");
        const std::string got = (opened ? "opened " + opened->name : opened.reason()) + " after " + std::to_string(asked);
        EXPECT_EQ(got, expected) << answers;
    }
    EXPECT_NE(noWaylandIdleSourceLine("wayland-1", true).find("\"wayland-1\" tells no program when the user is idle"),
              std::string::npos);
    EXPECT_NE(noWaylandIdleSourceLine("wayland-1", false).find("without a session bus"), std::string::npos);
}

// The compositor's timer is held exactly while it should be, and the daemon hears each change once. Steps: S
// start, i the compositor says idle, r input came, p/u suspend on/off, 0/5 the idle time set, R a new timer
// from now, L the compositor gone. What follows: A/D the timer asked for/given back, +/- saver on/off, ! lost.
TEST(IdleWatch, HoldsTheCompositorsTimerWhileItShouldAndTellsEachChangeOnce) {
    const std::tuple<int, std::string, std::string> cases[] = {
        {5, "", ""},                // nothing before the start
        {5, "S", "A"},              // armed at the start
        {0, "S", ""},               // an idle time of 0 never arms
        {5, "Sii", "A+"},           // idle once, however often said
        {5, "Siri", "A+-+"},        // input, then idle again
        {5, "Sipu", "A+D-A"},       // suspended while idle: off, the timer back, and again on release
        {5, "Spi", "AD"},           // nothing idles while suspended
        {5, "SiR", "A+D-A"},        // a new timer from now ends the idleness
        {5, "Si0", "A+D-"},         // an idle time of 0 takes the timer away
        {5, "S05", "ADA"},          // and one that is not 0 asks for it again
        {5, "Spp5u", "ADA"},        // set while suspended: armed only on release
        {5, "LS", "!"},             // lost before the start: said at the start, never armed
        {5, "SLLiR", "A!"},         // lost once; nothing more is asked of a compositor that has gone
        {5, "SiLp", "A+!-"},        // lost while idle: a suspend still turns the saver off
    };
    for (const auto& [seconds, steps, expected] : cases) {
        std::string trace;
        IdleWatch watch(seconds, {[&] { trace += 'A'; }, [&] { trace += 'D'; }});
        for (char step : steps) {
            switch (step) {
            case 'S':
                watch.start({[&] { trace += '+'; }, [&] { trace += '-'; }, [&](const std::string&) { trace += '!'; }});
                break;
            case 'i': watch.idled(); break;
            case 'r': watch.resumed(); break;
            case 'p': watch.suspend(true); break;
            case 'u': watch.suspend(false); break;
            case '0': watch.setTimeoutSeconds(0); break;
            case '5': watch.setTimeoutSeconds(5); break;
            case 'R': watch.restart(); break;
            case 'L': watch.lose("gone"); break;
            }
        }
        EXPECT_EQ(trace, expected) << seconds << " " << steps;
    }
}

TEST(IdleTimeout, OneLineSaysTheTimeAndWhoseSettingItIs) {
    EXPECT_EQ(timeoutLine(600, TimeoutOrigin::CommandLine),
              "the screen saver starts after 10 minutes without input (set "
              "by --timeout)");
    EXPECT_NE(timeoutLine(60, TimeoutOrigin::XServer).find("after 1 minute without"), std::string::npos);
    EXPECT_NE(timeoutLine(0, TimeoutOrigin::XServer).find("never starts by itself"), std::string::npos);
    // Each option's line names that option; without one, the platform's own.
    const std::pair<std::vector<std::string>, std::string> whose[] = {
        {{"--timeout", "5"}, "(set by --timeout)"},
        {{"--idle-seconds", "3"}, "(set by --idle-seconds)"},
        {{"--timeout", "5", "--idle-seconds", "3"}, "(set by --idle-seconds)"},
        {{}, "(the X server's setting;"},
    };
    for (const auto& [arguments, words] : whose) {
        const std::string line = timeoutLine(300, timeoutOrigin(*parseIdleCommandLine(arguments), false));
        EXPECT_NE(line.find(words), std::string::npos) << line;
    }
    EXPECT_EQ(timeoutOrigin(IdleOptions{}, true), TimeoutOrigin::WaylandDefault);
    EXPECT_EQ(timeoutLine(kDefaultWaylandTimeoutMinutes * 60, TimeoutOrigin::WaylandDefault),
              "the screen saver starts after 10 minutes without input (mirevo-idle's default in a "
              "Wayland session; change it with mirevo-idle --timeout MINUTES)");
}

} // namespace
} // namespace mirevo
