// The one log: each line begins with the program's name, debug lines only when asked, one call one line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log.h"

using namespace mirevo;

namespace {

// Catches the lines said, and gives standard error and the name back afterwards.
class CaughtLog {
public:
    explicit CaughtLog(const char* program, bool debug) {
        startLog(program);
        setLogDebug(debug);
        setLogSink([this](const std::string& line) { lines.push_back(line); });
    }
    ~CaughtLog() {
        setLogSink({});
        setLogDebug(false);
        startLog("mirevo");
    }
    std::vector<std::string> lines;
};

void sayOneOfEach() {
    logError("cannot open the X display");
    logWarning("no music: the file is gone");
    logInfo("starts after 10 minutes");
    logDebug("platform x11: WAYLAND_DISPLAY is not set");
}

} // namespace

TEST(Log, EveryLevelButDebugIsSaidWithTheProgramsNameAndDebugOnlyWhenAsked) {
    struct Case {
        bool debug;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {false,
         {"mirevo-idle: cannot open the X display", "mirevo-idle: no music: the file is gone",
          "mirevo-idle: starts after 10 minutes"}},
        {true,
         {"mirevo-idle: cannot open the X display", "mirevo-idle: no music: the file is gone",
          "mirevo-idle: starts after 10 minutes", "mirevo-idle: debug: platform x11: WAYLAND_DISPLAY is not set"}},
    };
    for (const Case& c : cases) {
        CaughtLog caught("mirevo-idle", c.debug);
        EXPECT_EQ(logProgram(), "mirevo-idle");
        EXPECT_EQ(logShows(LogLevel::Debug), c.debug);
        EXPECT_TRUE(logShows(LogLevel::Error) && logShows(LogLevel::Warning) && logShows(LogLevel::Info));
        sayOneOfEach();
        EXPECT_EQ(caught.lines, c.said) << "debug " << c.debug;
    }
}

TEST(Log, OnlyMirevoDebugOneAsksForTheDebugLines) {
    struct Case {
        const char* value;
        bool asks;
    };
    const Case cases[] = {{nullptr, false}, {"", false}, {"0", false}, {"yes", false}, {"10", false}, {"1", true}};
    for (const Case& c : cases)
        EXPECT_EQ(debugRequested(c.value), c.asks) << (c.value ? c.value : "(unset)");
}

TEST(Log, AMessageStaysOneLineWhateverItHolds) {
    struct Case {
        LogLevel level;
        std::string text;
        std::string line;
    };
    const Case cases[] = {
        {LogLevel::Error, "plain", "Mirevo.scr: plain"},
        {LogLevel::Warning, "two\nlines\r", "Mirevo.scr: two?lines?"},
        {LogLevel::Info, "\x1b[2Jcleared", "Mirevo.scr: ?[2Jcleared"},
        {LogLevel::Debug, "tab\there", "Mirevo.scr: debug: tab?here"},
        {LogLevel::Error, "デスクトップ", "Mirevo.scr: デスクトップ"},
        {LogLevel::Error, "", "Mirevo.scr: "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(logLine("Mirevo.scr", c.level, c.text), c.line) << c.text;
    // A runaway text is cut, and says so, rather than flooding the log.
    const std::string line = logLine("Mirevo.scr", LogLevel::Error, std::string(100000, 'x'));
    EXPECT_LT(line.size(), 20000u);
    EXPECT_EQ(line.substr(line.size() - 4), "x...");
}
