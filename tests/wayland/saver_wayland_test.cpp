// Mirevo.scr in a Wayland session: a headless sway with two outputs of different sizes and colours, no
// XWayland and no DISPLAY anywhere.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "shared/settings_file/tovik_b.h"
#include "tests/harness/child_process.h"
#include "tests/harness/headless_sway.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "tests/music/sound_fixtures.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

class SaverOnSway : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = HeadlessSway::unavailableReason(); !why.empty()) GTEST_SKIP() << why;
        sway = std::make_unique<HeadlessSway>();
        ASSERT_TRUE(sway->ok()) << sway->log();
    }
    std::map<std::string, std::optional<std::string>> environment() const {
        auto env = sway->clientEnvironment(runtime.path());
        env["DBUS_SESSION_BUS_ADDRESS"] = std::nullopt;
        return env;
    }
    // The saver started from folder, where a stand-in for the viewer may wait.
    std::unique_ptr<ChildProcess> saver(const std::string& program, std::vector<std::string> args,
                                        std::map<std::string, std::optional<std::string>> extra = {}) {
        auto env = environment();
        for (auto& [name, value] : extra)
            env[name] = value;
        args.insert(args.begin(), program);
        return std::make_unique<ChildProcess>(args, env);
    }
    // A saver beside a viewer that only waits, so that the session lasts as long as the test wants.
    std::string saverWithWaitingViewer() {
        EXPECT_TRUE(copyPrograms(programs.path(), {"Mirevo.scr"}));
        EXPECT_TRUE(writeFile(programs / "Mirevo.dll", "#!/bin/sh\nexec sleep 120\n"));
        chmod((programs / "Mirevo.dll").c_str(), 0700);
        return programs / "Mirevo.scr";
    }

    TempDir runtime, programs;
    std::unique_ptr<HeadlessSway> sway;
};

// The colour of the snapshot's pixel (x, y), y = 0 its top row, as the file holds it (bottom-up, BGR).
Rgb snapshotPixel(const std::vector<uint8_t>& file, int x, int y) {
    const int width = int(le32(&file[18])), height = int(le32(&file[22]));
    const uint8_t* bgr = &file[54 + size_t(height - 1 - y) * bmpRowBytes(width) + size_t(x) * 3];
    return {bgr[2], bgr[1], bgr[0]};
}

// The processes running this program file.
std::vector<pid_t> processesOf(const std::string& program) {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        if (std::filesystem::read_symlink(entry.path() / "exe", error) == program) found.push_back(pid_t(std::stoi(name)));
    }
    return found;
}

// The floor in black space on one output: a good share of it black, a good share in the desktop's colours.
bool floorOn(const Image& shot, const std::vector<Rgb>& desktopColours) {
    int black = 0, coloured = 0, samples = 0;
    for (int y = 0; y < shot.height; y += 5)
        for (int x = 0; x < shot.width; x += 5, ++samples) {
            const Rgb c = shot.at(x, y);
            black += colourDistance(c, {0, 0, 0}) <= 8;
            for (const Rgb& d : desktopColours)
                coloured += colourDistance(c, d) <= 40;
        }
    return black > samples / 6 && coloured > samples / 10;
}

TEST_F(SaverOnSway, FloorOnEveryOutputMusicAndEscapeEndsEveryProcess) {
    namespace fs = std::filesystem;
    ASSERT_TRUE(copyPrograms(programs.path(), {"Mirevo.scr", "Mirevo.dll"}));
    const fs::path tone = fs::path(programs.path()) / "tone 660.wav";
    ASSERT_TRUE(makeTone(tone, 660, 1.0));
    std::ofstream(programs / "Mirevo.ini") << "[Section]\nBGM区分=2\nBGMﾘﾋﾟｰﾄ=0\nBGMﾌｧｲﾙ=" << tone.string() << "\n";
    const std::string heardFile = runtime / "heard.raw";
    // An X display named in the environment: nothing in a Wayland session may use it, and the viewer does
    // not even see it.
    auto session = saver(programs / "Mirevo.scr", {"/s"},
                         {{"DISPLAY", ":97"}, {"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", heardFile},
                          {"HOME", runtime.path()}});
    const std::string viewerProgram = programs / "Mirevo.dll";
    pid_t viewer = 0;
    ASSERT_TRUE(pollUntil(30s, [&] {
        const auto found = processesOf(viewerProgram);
        viewer = found.empty() ? 0 : found.front();
        return viewer != 0 || !session->running();
    }) && viewer) << session->errors();
    const std::string viewerEnvironment = readFile("/proc/" + std::to_string(viewer) + "/environ");
    EXPECT_EQ(viewerEnvironment.find(std::string("\0DISPLAY=", 9)), std::string::npos);
    EXPECT_NE(viewerEnvironment.find("MIREVO_PLATFORM=wayland"), std::string::npos);

    // Each output covered at its own size, the desktop's own colours on its floor.
    const std::vector<Rgb> desktop{{255, 0, 0}, {0, 255, 0}};
    for (const auto& [output, width, height] : {std::tuple{"HEADLESS-1", 800, 600}, std::tuple{"HEADLESS-2", 640, 480}}) {
        std::optional<Image> shot;
        EXPECT_TRUE(pollUntil(30s, [&] {
            shot = sway->screenshot(output);
            return (shot && floorOn(*shot, desktop)) || !session->running();
        }) && session->running()) << output << ": " << session->errors();
        ASSERT_TRUE(shot);
        EXPECT_EQ(shot->width, width);
        EXPECT_EQ(shot->height, height);
    }
    // The music plays.
    EXPECT_TRUE(pollUntil(30s, [&] { return windowsWithTone(readLeftChannel(heardFile), RATE / 10, 660, 2000) >= 3; }));
    // A second start ends at once, leaving this session be.
    auto second = saver(programs / "Mirevo.scr", {"/s"});
    EXPECT_EQ(second->waitExit(10s), 0) << second->errors();
    EXPECT_TRUE(session->running());

    // The mouse does not end it.
    ASSERT_TRUE(sway->click(400, 300));
    EXPECT_FALSE(session->waitExit(1s).has_value());

    // Escape ends the viewer and the saver within a second (the saver ends its viewer before it goes).
    ASSERT_TRUE(sway->pressKey("Escape"));
    const auto pressed = std::chrono::steady_clock::now();
    EXPECT_EQ(session->waitExit(10s), 0) << session->errors();
    EXPECT_LE(std::chrono::steady_clock::now() - pressed, 1s);
    EXPECT_TRUE(processesOf(viewerProgram).empty());
}

TEST_F(SaverOnSway, SnapshotIsEveryOutputByItsPlaceMirrored) {
    auto session = saver(saverWithWaitingViewer(), {"/s"});
    const std::string snapshot = runtime / "Tovik.bmp";
    ASSERT_TRUE(pollUntil(30s, [&] { return readBytes(snapshot).size() > 54 || !session->running(); }))
        << session->errors();
    const auto file = readBytes(snapshot);
    ASSERT_GT(file.size(), 54u) << session->errors();
    // 800 x 600 red at 0,0 and 640 x 480 green at 800,0: 1440 x 600, mirrored left to right.
    ASSERT_EQ(le32(&file[18]), 1440u);
    ASSERT_EQ(le32(&file[22]), 600u);
    EXPECT_EQ(file.size(), 54 + bmpRowBytes(1440) * 600);
    const struct {
        int x, y;
        Rgb colour;
    } expected[] = {{0, 0, {0, 255, 0}},     {639, 479, {0, 255, 0}}, {640, 0, {255, 0, 0}},
                    {1439, 599, {255, 0, 0}}, {0, 599, {0, 0, 0}},     {639, 480, {0, 0, 0}}};
    for (const auto& e : expected)
        EXPECT_EQ(snapshotPixel(file, e.x, e.y), e.colour) << e.x << "," << e.y;
    EXPECT_TRUE(session->running()) << session->errors();
    session->terminate();
}

TEST_F(SaverOnSway, SecondStartEndsAtOnceWhileASessionRuns) {
    const std::string program = saverWithWaitingViewer();
    auto first = saver(program, {"/s"});
    ASSERT_TRUE(pollUntil(30s, [&] { return readBytes(runtime / "Tovik.bmp").size() > 54 || !first->running(); }));
    ASSERT_TRUE(first->running()) << first->errors();
    for (const char* argument : {"/s", "/c"}) {
        auto second = saver(program, {argument});
        EXPECT_EQ(second->waitExit(10s), 0) << argument << ": " << second->errors();
    }
    EXPECT_TRUE(first->running());
    first->terminate();
    // The lock went with the first session: the next start runs.
    auto third = saver(program, {"/s"});
    EXPECT_FALSE(third->waitExit(3s).has_value()) << third->errors();
}

TEST_F(SaverOnSway, ForcedPlatformThatIsNotThereIsOneLineAndExitOne) {
    auto forced = saver(builtProgram("Mirevo.scr"), {"/s"},
                        {{"MIREVO_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", runtime / "no-such-socket"}});
    EXPECT_EQ(forced->waitExit(20s), 1);
    const std::string said = forced->errors();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("no Wayland compositor answers"), std::string::npos) << said;
}

TEST_F(SaverOnSway, PreviewSaysInOneLineThatItNeedsAnXWindow) {
    auto preview = saver(builtProgram("Mirevo.scr"), {"/p", "12345"});
    EXPECT_EQ(preview->waitExit(20s), 0);
    const std::string said = preview->errors();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("needs an X window handle"), std::string::npos) << said;
}

TEST_F(SaverOnSway, DialogStoresTheChoiceMadeWithThePointer) {
    ASSERT_TRUE(copyPrograms(programs.path(), {"Mirevo.scr", "Mirevo.dll"}));
    // Sway draws the frame; Qt's own would move the controls by its title bar's height.
    auto dialog = saver(programs / "Mirevo.scr", {"/c"}, {{"QT_WAYLAND_DISABLE_WINDOWDECORATION", "1"}});
    // Floating at a known place once it is there, its painted background showing.
    std::string seen = "no window";
    const auto shown = [&] {
        if (!sway->command("[title=\"^<Mirevo>$\"] floating enable, move position 100 100")) return false;
        const auto shot = sway->screenshot();
        if (!shot) return false;
        const Rgb corner = shot->at(100, 100);
        seen = std::to_string(corner[0]) + "," + std::to_string(corner[1]) + "," + std::to_string(corner[2]);
        return colourDistance(corner, {0, 0, 30}) <= 2;
    };
    ASSERT_TRUE(pollUntil(30s, [&] { return shown() || !dialog->running(); }) && dialog->running())
        << "corner " << seen << "; " << dialog->errors();
    // The audio CD's row, then 設定.
    ASSERT_TRUE(sway->click(100 + 12 + 44 + 10, 100 + 16 + 56 + 6));
    ASSERT_TRUE(sway->click(100 + 324 + 38, 100 + 200 + 12));
    EXPECT_EQ(dialog->waitExit(10s), 0) << dialog->errors();
    EXPECT_EQ(Ini_Read(kIniSection, kIniKeyBgmKind, settingsFilePath(programs.path())), "1");
}

// Outputs turned and mirrored by the compositor: the snapshot, mirrored back, is the desktop as grim (which
// follows each output's transform its own way) sees it.
TEST(SaverOnTurnedOutputs, SnapshotIsTheDesktopAsGrimSeesIt) {
    if (const std::string why = HeadlessSway::unavailableReason(); !why.empty()) GTEST_SKIP() << why;
    TempDir pictures, runtime;
    chmod(pictures.path().c_str(), 0755); // sway's user reads the background from here
    const std::string picture = pictures / "quadrants.png";
    ChildProcess convert({"/usr/bin/convert", "-size", "320x240", "xc:red", "-fill", "blue", "-draw",
                          "rectangle 0,0 159,119", "-fill", "yellow", "-draw", "rectangle 160,120 319,239", "-fill",
                          "white", "-draw", "rectangle 0,120 40,239", picture});
    ASSERT_EQ(convert.waitExit(30s), 0) << convert.errors();
    chmod(picture.c_str(), 0644);
    HeadlessSway sway({{400, 300, 0, 0, {}, "normal", 1, picture},
                       {400, 300, 400, 0, {}, "90", 1, picture},
                       {400, 300, 700, 0, {}, "flipped-270", 1, picture}});
    ASSERT_TRUE(sway.ok()) << sway.log();
    const auto seen = sway.screenshot();
    ASSERT_TRUE(seen);
    ASSERT_EQ(seen->width, 1000);
    ASSERT_EQ(seen->height, 400);

    auto env = sway.clientEnvironment(runtime.path());
    TempDir programs;
    ASSERT_TRUE(copyPrograms(programs.path(), {"Mirevo.scr"}));
    ASSERT_TRUE(writeFile(programs / "Mirevo.dll", "#!/bin/sh\nexec sleep 120\n"));
    chmod((programs / "Mirevo.dll").c_str(), 0700);
    ChildProcess session({programs / "Mirevo.scr", "/s"}, env);
    ASSERT_TRUE(pollUntil(30s, [&] { return readBytes(runtime / "Tovik.bmp").size() > 54 || !session.running(); }));
    const auto file = readBytes(runtime / "Tovik.bmp");
    ASSERT_EQ(le32(&file[18]), 1000u);
    ASSERT_EQ(le32(&file[22]), 400u);
    int differing = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 1000; ++x)
            differing += colourDistance(snapshotPixel(file, 999 - x, y), seen->at(x, y)) > 40;
    EXPECT_LT(differing, 1000 * 400 / 100) << "of 400000 pixels";
    session.terminate();
}

} // namespace
} // namespace mirevo::test
