// The saver's mode choice, driven through a fake desktop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "saver/startup/tovik_main.h"
#include "tests/harness/temp_dir.h"
#include "tests/startup/fake_startup_platform.h"

namespace mirevo {
namespace {

using test::FakeStartupPlatform;
using test::TempDir;

const std::string kMessage = std::string("messageBox ") + kMissingViewerMessage + " | " + kAppTitle;

// The calls after the single-instance test (the lock and the title test, checked on their own below).
std::vector<std::string> callsAfterInstanceTest(const FakeStartupPlatform& platform) {
    std::vector<std::string> calls;
    for (const auto& call : platform.calls)
        if (call.rfind("windowExists ", 0) != 0 && call != "takeInstanceLock") calls.push_back(call);
    return calls;
}

const std::string kBringDialog = std::string("bringToFront ") + kSettingsDialogTitle;

struct GrammarCase {
    std::string text;
    bool viewerPresent;
    MainOutcome outcome;
    std::vector<std::string> calls;
};

TEST(Main, CommandLineGrammar) {
    const auto End = MainOutcome::End;
    const auto Run = MainOutcome::RunEventLoop;
    const std::vector<std::string> loadOnly{"programFolder"};
    const std::vector<GrammarCase> cases{
        {"/s", true, Run, {"programFolder", "hideCursor", "startSession hidden"}},
        {"/S", true, Run, {"programFolder", "hideCursor", "startSession hidden"}},
        {"-s", true, Run, {"programFolder", "hideCursor", "startSession hidden"}},
        {"xs", true, Run, {"programFolder", "hideCursor", "startSession hidden"}},
        {"/s 1234", true, Run, {"programFolder", "hideCursor", "startSession hidden"}},
        {"s", true, End, loadOnly},
        {"S", true, End, loadOnly},
        {"/a", true, End, loadOnly},
        {"/x", true, End, loadOnly},
        {"", true, Run, {"programFolder", "startSession visible"}},
        {"/c", true, End, {"programFolder", "settingsDialog"}},
        {"/C", true, End, {"programFolder", "settingsDialog"}},
        {"/c:1234", true, End, {"programFolder", "settingsDialog"}},
        // Preview needs neither the settings nor the viewer.
        {"/p 1234", true, Run, {"showPreview 1234"}},
        {"/p:1234", true, Run, {"showPreview 1234"}},
        {"/P:1234", true, Run, {"showPreview 1234"}},
        {"/p", true, Run, {"showPreview 0"}},
        {"/p 12.5", true, Run, {"showPreview 12"}},
        {"/p 13.5", true, Run, {"showPreview 14"}},
        {"/p -7", true, Run, {"showPreview -7"}},
        {"/p abc", true, Run, {"showPreview 0"}},
        // Without the viewer every mode but preview stops at the message, unknown switches included.
        {"/s", false, End, {"programFolder", kMessage}},
        {"", false, End, {"programFolder", kMessage}},
        {"/c", false, End, {"programFolder", kMessage}},
        {"/a", false, End, {"programFolder", kMessage}},
        {"s", false, End, {"programFolder", kMessage}},
        {"/p 1234", false, Run, {"showPreview 1234"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("argument text \"" + c.text + "\", viewer " + (c.viewerPresent ? "present" : "missing"));
        TempDir folder;
        if (c.viewerPresent) test::writeFile(folder / "Mirevo.dll", "viewer");
        FakeStartupPlatform platform;
        platform.folder = folder.path();
        ProgramState state;
        EXPECT_EQ(Main(c.text, platform, state), c.outcome);
        EXPECT_EQ(callsAfterInstanceTest(platform), c.calls);
    }
}

TEST(Main, PreviewWithNothingToShowItInEnds) {
    FakeStartupPlatform platform;
    platform.previewShows = false;
    ProgramState state;
    EXPECT_EQ(Main("/p 99", platform, state), MainOutcome::End);
    EXPECT_EQ(callsAfterInstanceTest(platform), std::vector<std::string>{"showPreview 99"});
}

// A running session, an open dialog or the lock held by either ends every start; each start but a preview
// takes the lock first and shows the user the dialog it finds.
TEST(Main, RunningSessionOrOpenDialogEndsEveryStart) {
    for (const std::string blocker : {kSessionWindowTitle, kSettingsDialogTitle, "lock"}) {
        for (const std::string text : {"/s", "", "/c", "/p 1234", "/a"}) {
            SCOPED_TRACE(blocker + ", argument text \"" + text + "\"");
            FakeStartupPlatform platform;
            platform.instanceLockFree = blocker != "lock";
            if (platform.instanceLockFree) platform.windows = {blocker};
            ProgramState state;
            const std::vector<std::string> titleTest{std::string("windowExists ") + kSessionWindowTitle,
                                                     std::string("windowExists ") + kSettingsDialogTitle};
            std::vector<std::string> expected{"takeInstanceLock", kBringDialog};
            if (platform.instanceLockFree)
                expected.insert(expected.begin() + 1, titleTest.begin(), titleTest.end());
            const bool preview = text == "/p 1234", previewRuns = preview && !platform.instanceLockFree;
            if (preview) expected = titleTest;
            if (previewRuns) expected.push_back("showPreview 1234");
            EXPECT_EQ(Main(text, platform, state),
                      previewRuns ? MainOutcome::RunEventLoop : MainOutcome::End);
            EXPECT_EQ(platform.calls, expected);
        }
    }
}

TEST(Main, RunningPreviewDoesNotBlockAStart) {
    TempDir folder;
    test::writeFile(folder / "Mirevo.dll", "viewer");
    FakeStartupPlatform platform;
    platform.folder = folder.path();
    platform.windows = {"Preview Window", "Tovik_VC"};
    ProgramState state;
    EXPECT_EQ(Main("/s", platform, state), MainOutcome::RunEventLoop);
    EXPECT_EQ(platform.calls.back(), "startSession hidden");
}

TEST(Main, SettingsAreLoadedBeforeTheViewerTest) {
    TempDir folder;
    test::writeFile(folder / "Mirevo.ini", "[Section]\nBGM区分=1\nBGMﾘﾋﾟｰﾄ=5\n");
    FakeStartupPlatform platform;
    platform.folder = folder.path();
    ProgramState state;
    platform.state = &state;
    EXPECT_EQ(Main("/c", platform, state), MainOutcome::End);
    EXPECT_EQ(platform.bgmKindAtMessageBox, BGM_CD);
    EXPECT_EQ(state.settings.BgmRepeat, 5);
    EXPECT_EQ(state.settings.BgmFolder, folder.path());
}

TEST(Main, ViewerFolderCountsAsMissing) {
    TempDir folder;
    std::filesystem::create_directory(folder / "Mirevo.dll");
    FakeStartupPlatform platform;
    platform.folder = folder.path();
    ProgramState state;
    EXPECT_EQ(Main("/s", platform, state), MainOutcome::End);
    EXPECT_EQ(callsAfterInstanceTest(platform), (std::vector<std::string>{"programFolder", kMessage}));
}

} // namespace
} // namespace mirevo
