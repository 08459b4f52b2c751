// The viewer's command line: which mode, which window, and what is refused.
#include <gtest/gtest.h>

#include "viewer/hack/hack_arguments.h"

using namespace mirevo::viewer;

namespace {

constexpr std::optional<ViewerMode> kRefused;

struct ArgumentCase {
    std::vector<std::string> args;
    std::optional<std::string> environmentWindow;
    std::optional<ViewerMode> mode; // nothing: refused
    unsigned long window;
    bool fps;
};

const ArgumentCase kArgumentCases[] = {
    {{}, std::nullopt, ViewerMode::Standalone, 0, false},
    {{}, "0x400007", ViewerMode::Standalone, 0, false},
    {{"-root"}, "0x400007", ViewerMode::Hack, 0x400007, false},
    {{"--root"}, "4194311", ViewerMode::Hack, 4194311, false},
    {{"--root", "--fps"}, "0X1a", ViewerMode::Hack, 0x1a, true},
    {{"-fps", "-root"}, "77", ViewerMode::Hack, 77, true},
    {{"--window-id", "0x2c00003"}, std::nullopt, ViewerMode::Hack, 0x2c00003, false},
    {{"-window-id", "123"}, std::nullopt, ViewerMode::Hack, 123, false},
    // the window named on the command line wins over the environment's
    {{"--root", "--window-id", "0x10"}, "0x20", ViewerMode::Hack, 0x10, false},
    {{"--window-id", "0x10", "--root"}, "0x20", ViewerMode::Hack, 0x10, false},
    {{"--install-xscreensaver"}, std::nullopt, ViewerMode::InstallXscreensaver, 0, false},
    {{"-uninstall-xscreensaver"}, std::nullopt, ViewerMode::UninstallXscreensaver, 0, false},
    // refused
    {{"--root"}, std::nullopt, kRefused, 0, false},
    {{"--root"}, "", kRefused, 0, false},
    {{"--root"}, "window", kRefused, 0, false},
    {{"--root"}, "0", kRefused, 0, false},
    {{"--fps"}, std::nullopt, kRefused, 0, false},
    {{"--window-id"}, std::nullopt, kRefused, 0, false},
    {{"--window-id", "-5"}, std::nullopt, kRefused, 0, false},
    {{"--window-id", "0x"}, std::nullopt, kRefused, 0, false},
    {{"--window-id", "12abc"}, std::nullopt, kRefused, 0, false},
    {{"--window-id", "99999999999999999999999"}, std::nullopt, kRefused, 0, false},
    {{"--window-id", "0x40000000"}, std::nullopt, kRefused, 0, false},
    {{"/s"}, std::nullopt, kRefused, 0, false},
    {{"root"}, "0x10", kRefused, 0, false},
    {{"--root", "--delay"}, "0x10", kRefused, 0, false},
    {{"---root"}, "0x10", kRefused, 0, false},
    {{"--install-xscreensaver", "--root"}, "0x10", kRefused, 0, false},
    {{"--install-xscreensaver", "--uninstall-xscreensaver"}, std::nullopt, kRefused, 0, false},
};

} // namespace

TEST(ViewerArguments, ModeWindowAndRefusals) {
    for (const ArgumentCase& c : kArgumentCases) {
        std::string line;
        for (const auto& arg : c.args) line += arg + " ";
        SCOPED_TRACE(line + "XSCREENSAVER_WINDOW=" + c.environmentWindow.value_or("(unset)"));
        const auto parsed = parseViewerArguments(c.args, c.environmentWindow);
        ASSERT_EQ(parsed.ok(), c.mode.has_value()) << (parsed ? "" : parsed.reason());
        if (!parsed) {
            EXPECT_FALSE(parsed.reason().empty());
            continue;
        }
        EXPECT_EQ(parsed->mode, *c.mode);
        if (c.mode == ViewerMode::Hack) {
            EXPECT_EQ(parsed->window, c.window);
            EXPECT_EQ(parsed->showFps, c.fps);
        }
    }
}

TEST(ViewerArguments, OnlyACopyThatFillsAMonitorRunsAsTheSaver) {
    const WindowSize screen{1920, 1080};
    struct Case {
        std::vector<std::string> args;
        WindowSize window;
        bool saver;
    };
    const Case cases[] = {
        {{"--root"}, {1920, 1080}, true},
        {{"--root"}, {960, 1080}, true}, // one monitor of two: the manager's window covers it
        {{"--window-id", "0x10"}, {1920, 1080}, true},
        {{"--window-id", "0x10"}, {2000, 1200}, true},
        // previews in a settings window
        {{"--window-id", "0x10"}, {320, 240}, false},
        {{"--window-id", "0x10"}, {1920, 1079}, false},
        {{"--window-id", "0x10"}, {1919, 1080}, false},
        {{"--root", "--window-id", "0x10"}, {320, 240}, false},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& arg : c.args) line += arg + " ";
        SCOPED_TRACE(line + std::to_string(c.window.width) + "x" + std::to_string(c.window.height));
        const auto parsed = parseViewerArguments(c.args, std::string("0x20"));
        ASSERT_TRUE(parsed.ok());
        EXPECT_EQ(runsAsTheSaver(*parsed, c.window, screen), c.saver);
    }
}
