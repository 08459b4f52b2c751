// Locking's decisions without D-Bus or processes: when a run ends in the lock screen, one lock at a time
// within its bound, the sleep inhibitor; which locker a desktop has; what the status and the start line say.
#include <sstream>

#include <gtest/gtest.h>

#include "idle/lock/lock_keeper.h"
#include "idle/lock/lock_status.h"
#include "idle/lock/locker_choice.h"

namespace mirevo {
namespace {

using namespace std::chrono_literals;

// Notes each effect as a word: L1/E1 the words "lock"/"end" to run 1's floor, R the locker run, S stopped,
// B+/B- the bound armed/stopped, H+/H- the sleep inhibitor taken/given back, K the lock on screen, ! a line.
struct RecordingEffects : LockEffects {
    std::string trace;
    void note(const std::string& word) { trace += (trace.empty() ? "" : " ") + word; }
    void tellFloor(uint64_t run, FloorMessage m) override {
        note((m == FloorMessage::End ? "E" : m == FloorMessage::Lock ? "L" : "?") + std::to_string(run));
    }
    void runLocker(LockReason) override { note("R"); }
    void stopLocker() override { note("S"); }
    void armBound(bool on) override { note(on ? "B+" : "B-"); }
    void holdSleep(bool hold) override { note(hold ? "H+" : "H-"); }
    void screenLocked() override { note("K"); }
    void line(const std::string&) override { note("!"); }
};

// Steps: st start; s1/f1/k1/x1 run 1 started, its floor shown, its key, its end; tN N seconds pass; q/Q a
// lock asked on the bus / by logind; P/p PrepareForSleep true/false; ok/no the locker covered / failed; bd
// the bound.
TEST(LockKeeper, EachRunKeyDeathRequestAndSleepEndsAsItShould) {
    const std::tuple<std::optional<int>, std::string, std::string> cases[] = {
        {std::nullopt, "st s1 f1 t60 k1 q P", "E1"},  // off: the key ends the floor, nothing locks
        {10, "st s1 f1 t5 k1", "H+ E1"},              // a key within the grace time just ends the floor
        {10, "s1 f1 t10 k1 ok", "L1 B+ R B- K E1"},   // past it: the floor stays until the lock is on screen
        {10, "s1 f1 t10 k1 no", "L1 B+ R B- ! E1"},   // a locker that fails: one line, and the floor ends
        {10, "s1 f1 t10 k1 bd ok", "L1 B+ R S ! E1"}, // one that never answers: stopped at the bound
        {10, "s1 f1 t10 x1 ok", "! B+ R B- K"}, // a run that dies past the grace time is followed by the lock
        {10, "s1 f1 t5 x1", ""},                // within it, not
        {0, "s1 t60 x1", ""},                   // nor one that never showed its floor
        {0, "s1 f1 k1 ok", "L1 B+ R B- K E1"},  // 0: every run
        {10, "s1 f1 t10 k1 q Q x1 ok",
         "L1 B+ R B- K"},          // requests meeting are one lock; a run gone needs no word
        {10, "q ok", "B+ R B- K"}, // the system's request, with no floor up
        {10, "s1 f1 Q k1 ok x1", "L1 B+ R B- K E1"}, // with one: it waits for the lock, whatever the key says
        {10, "q s1 ok", "B+ R L1 B- K E1"},          // a run that starts during a lock ends with it
        {10, "st P P ok p p", "H+ B+ R B- K H- H+"}, // sleep: locked, then let go; twice is once
        {10, "st q P ok", "H+ B+ R B- K H-"},        // sleep joins a lock on its way
        {10, "st P no", "H+ B+ R B- ! H-"},          // a failed lock still lets the system sleep
        {10, "q bd ok q ok", "B+ R S ! B+ R B- K"},  // a late answer is no answer; the next lock is a new one
    };
    for (const auto& [grace, steps, expected] : cases) {
        RecordingEffects effects;
        LockKeeper::Clock::time_point now{};
        std::optional<std::chrono::seconds> seconds;
        if (grace) seconds = std::chrono::seconds(*grace);
        LockKeeper keeper(seconds, effects, [&] { return now; });
        std::istringstream words(steps);
        for (std::string w; words >> w;) {
            if (w == "st")
                keeper.start();
            else if (w == "s1")
                keeper.runStarted(1);
            else if (w == "f1")
                keeper.floorShown(1);
            else if (w == "k1")
                keeper.endingKey(1);
            else if (w == "x1")
                keeper.runEnded(1);
            else if (w[0] == 't')
                now += std::chrono::seconds(std::stoi(w.substr(1)));
            else if (w == "q")
                keeper.lockRequested(LockReason::Asked);
            else if (w == "Q")
                keeper.lockRequested(LockReason::SessionLock);
            else if (w == "P" || w == "p")
                keeper.prepareForSleep(w == "P");
            else if (w == "ok" || w == "no")
                keeper.lockerDone(w == "ok" ? Covered() : Failure(std::string("it refused")));
            else if (w == "bd")
                keeper.boundPassed();
        }
        EXPECT_EQ(effects.trace, expected) << (grace ? std::to_string(*grace) : "off") << ": " << steps;
    }
}

TEST(LockKeeper, AnswersARequestAndKeepsTheLastOutcome) {
    RecordingEffects effects;
    LockKeeper::Clock::time_point now{};
    LockKeeper off(std::nullopt, effects, [&] { return now; });
    EXPECT_EQ(off.lockRequested(LockReason::Asked), LockAnswer::Off);
    LockKeeper keeper(30s, effects, [&] { return now; });
    EXPECT_EQ(keeper.lockRequested(LockReason::Asked), LockAnswer::Started);
    EXPECT_EQ(keeper.lockRequested(LockReason::SessionLock), LockAnswer::Joined);
    now += 2s;
    keeper.lockerDone(Failure(std::string("swaylock -f exited with code 2: no seat")));
    ASSERT_TRUE(keeper.lastOutcome());
    EXPECT_FALSE(keeper.lastOutcome()->covered);
    EXPECT_EQ(keeper.lastOutcome()->why, "swaylock -f exited with code 2: no seat");

    const std::string status = lockStatusText({30s,
                                               {LockerKind::Swaylock, {}, "swaylock -f"},
                                               "no logind on the system bus",
                                               keeper.lastOutcome(),
                                               now + 90s});
    EXPECT_EQ(
        status,
        "locking: on, after 30 seconds of the floor, by swaylock -f\n"
        "before sleep: not locked: no logind on the system bus\n"
        "last lock: 1 minute ago, for a request to org.freedesktop.ScreenSaver.Lock: failed: swaylock -f "
        "exited with code 2: no seat\n");
    EXPECT_EQ(lockStatusText({std::nullopt, {}, "", std::nullopt, now}),
              "locking: off (mirevo-idle --lock-after SECONDS turns it on)\n");
    EXPECT_EQ(lockStatusText({0s, {LockerKind::None, {}, "no locker found: why"}, "", std::nullopt, now}),
              "locking: on, after every run of the floor, but unable: no locker found: why\n"
              "before sleep: the screen is locked, and sleep waits for the lock\n");
    EXPECT_EQ(
        lockingLine(5s, {LockerKind::GnomeShell, {}, "GNOME Shell (org.gnome.ScreenSaver)"}),
        "locks the screen after 5 seconds of the floor, by GNOME Shell (org.gnome.ScreenSaver)");
}

// Desktop by desktop: what the user named, GNOME Shell, another screen-saver service (KDE), swaylock where
// the compositor offers a lock protocol, xscreensaver or light-locker on X11, logind; else why there is none.
TEST(LockerChoice, TheDesktopsOwnLockerInOrder) {
    const auto facts = [](auto change) {
        LockerFacts f;
        change(f);
        return f;
    };
    const std::pair<LockerFacts, std::string> cases[] = {
        {facts([](LockerFacts& f) {
             f.command = "i3lock";
             f.gnomeShell = "org.gnome.ScreenSaver";
         }),
         "Command /bin/sh -c i3lock"},
        {facts([](LockerFacts& f) {
             f.gnomeShell = "org.gnome.Shell.ScreenShield";
             f.otherScreenSaver = f.logindSession = true;
         }),
         "GnomeShell"},
        {facts([](LockerFacts& f) {
             f.otherScreenSaver = f.wayland = f.compositorLocks = true;
             f.swaylock = "/usr/bin/swaylock";
         }),
         "ScreenSaverService"},
        {facts([](LockerFacts& f) {
             f.wayland = f.compositorLocks = f.logindSession = true;
             f.swaylock = "/usr/bin/swaylock";
         }),
         "Swaylock /usr/bin/swaylock -f"},
        {facts([](LockerFacts& f) {
             f.wayland = f.logindSession = true;
             f.swaylock = "/usr/bin/swaylock";
         }),
         "Logind"},
        {facts([](LockerFacts& f) {
             f.wayland = f.xscreensaver = true;
             f.logindSession = true;
         }),
         "Logind"},
        {facts([](LockerFacts& f) { f.xscreensaver = f.lightLocker = true; }), "XScreenSaver /bin/sh -c"},
        {facts([](LockerFacts& f) { f.lightLocker = f.logindSession = true; }),
         "LightLocker light-locker-command --lock"},
        {facts([](LockerFacts& f) {
             f.wayland = true;
             f.logindProblem = "no logind on the system bus";
         }),
         "None: swaylock is not installed, and no logind on the system bus"},
        {facts([](LockerFacts&) {}),
         "None: no xscreensaver or light-locker running, and logind knows no session"},
    };
    const char* names[] = {"Command",  "GnomeShell",   "ScreenSaverService",
                           "Swaylock", "XScreenSaver", "LightLocker",
                           "Logind",   "None"};
    for (const auto& [given, expected] : cases) {
        const LockerChoice choice = chooseLocker(given);
        std::string got = names[int(choice.kind)];
        for (const std::string& a : choice.argv)
            got += " " + a;
        if (choice.kind == LockerKind::None) got += ": " + choice.description;
        EXPECT_EQ(got.rfind(expected.substr(0, expected.find(':')), 0), 0u) << got;
        EXPECT_NE(
            got.find(expected.substr(expected.find(':') == std::string::npos ? 0 : expected.find(':') + 2)),
            std::string::npos)
            << got;
    }
}

} // namespace
} // namespace mirevo
