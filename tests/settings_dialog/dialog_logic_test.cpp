// The settings dialog's arithmetic and rules that need no window.
#include <gtest/gtest.h>

#include <map>

#include "saver/settings_dialog/dialog_gradient.h"
#include "saver/settings_dialog/dialog_pictures.h"
#include "saver/settings_dialog/dialog_rules.h"
#include "saver/settings_dialog/home_page.h"
#include "saver/settings_dialog/zoom_frames.h"

namespace mirevo {
namespace {

TEST(DialogGradient, RowsOfA243PixelWindowRunDarkLightDark) {
    const std::vector<uint8_t> v = gradientLevels(243);
    ASSERT_EQ(v.size(), 244u); // rows 0 to 243, both included
    EXPECT_EQ(std::vector<uint8_t>(v.begin(), v.begin() + 5), (std::vector<uint8_t>{0, 3, 6, 9, 11}));
    for (int y = 117; y <= 126; ++y)
        EXPECT_EQ(v[y], 220) << y;
    EXPECT_EQ(std::vector<uint8_t>(v.begin() + 238, v.end()), (std::vector<uint8_t>{14, 11, 8, 6, 3, 0}));
    EXPECT_EQ(windowRowColour(v[0]), (Rgb{0, 0, 30}));
    EXPECT_EQ(panelRowColour(gradientLevels(165)[0]), (Rgb{30, 30, 30}));
    EXPECT_TRUE(gradientLevels(0).empty());
}

TEST(DialogRules, WindowPlacedOnTheOuterSizeCentredAndAThirdDown) {
    struct Case {
        int outerWidth, outerHeight;
        ScreenRect screen;
        int left, top;
    };
    const Case cases[] = {
        {496, 243, {0, 0, 1024, 768}, 264, 175},
        {504, 271, {0, 0, 1024, 768}, 260, 165},      // with a window manager's frame
        {496, 243, {1920, 0, 1280, 1024}, 2312, 260}, // a screen right of another
        {600, 900, {0, 0, 500, 800}, -50, -33},       // larger than the screen: truncated toward zero
    };
    for (const Case& c : cases) {
        const ScreenPoint p = dialogPosition(c.outerWidth, c.outerHeight, c.screen);
        EXPECT_EQ(p.x, c.left);
        EXPECT_EQ(p.y, c.top);
    }
}

TEST(DialogRules, TrackNumbersReadRoundedHalfToEvenWithExponentsAndOnlyIn16Bits) {
    // Forms beyond the ones the window test types.
    const std::pair<const char*, int16_t> cases[] = {
        {"+.5e1", 5},       {"12.", 12},    {"-2.5", -2},         {"0.5000001", 1}, {"25E-1", 2},
        {"1e", 0},          {"e5", 0},      {"1e1x", 0},          {"1 2", 0},       {"32767", 32767},
        {"-32768", -32768}, {"32767.5", 0}, {"-32768.5", -32768}, {"1e400", 0},     {"1e-400", 0},
        {"0e999999", 0},    {"\t4\t", 4},
        // Below the range as above it: 0, never a number wrapped into 16 bits.
        {"-32769", 0},      {"-40000", 0},  {"-1e5", 0},          {"40000", 0},     {"65536", 0},
    };
    for (const auto& [text, track] : cases)
        EXPECT_EQ(trackFromText(text), track) << '"' << text << '"';
}

TEST(DialogRules, ChooserAsksForMusicFilesWhateverTheCaseOfTheirEnding) {
    EXPECT_EQ(musicFileRequest("/m").patterns, (std::vector<std::string>{"*.[mM][pP]3", "*.[wW][aA][vV]"}));
}

TEST(HomePage, TheReadmeThatGoesWithTheProgramsWhereverTheyWereInstalled) {
    struct Case {
        const char* configured;
        const char* programFolder;
        std::map<std::string, std::string> files; // path -> the file's real path
        const char* address;
    };
    const std::string doc = "../../share/doc/mirevo";
    const Case cases[] = {
        // A build folder: the link beside the programs leads to the source tree.
        {"", "/src/build/bin", {{"/src/build/bin/README.md", "/src/README.md"}}, "file:///src/README.md"},
        // Installed under a prefix, or unpacked from the package somewhere: beside lib/mirevo.
        {"",
         "/opt/m/lib/mirevo",
         {{"/opt/m/share/doc/mirevo/README.md", "/opt/m/share/doc/mirevo/README.md"},
          {kPackagedReadme, kPackagedReadme}},
         "file:///opt/m/share/doc/mirevo/README.md"},
        {"", "/usr/lib/mirevo", {{kPackagedReadme, kPackagedReadme}}, "file:///usr/share/doc/mirevo/README.md"},
        // A copy of the programs on a machine with the package.
        {"", "/home/u/mirevo", {{kPackagedReadme, kPackagedReadme}}, "file:///usr/share/doc/mirevo/README.md"},
        // Nothing anywhere: where an install would have put it.
        {"", "/home/u/mirevo", {}, "file:///home/share/doc/mirevo/README.md"},
        // The build's own address wins.
        {"https://example.org/m", "/src/build/bin", {{"/src/build/bin/README.md", "/src/README.md"}},
         "https://example.org/m"},
    };
    for (const Case& c : cases) {
        const auto realFile = [&](const std::string& path) {
            const auto found = c.files.find(path);
            return found == c.files.end() ? std::string() : found->second;
        };
        EXPECT_EQ(homePageAddress(c.configured, c.programFolder, doc, realFile), c.address) << c.programFolder;
    }
}

TEST(ZoomFrames, EdgesMoveLinearlyAndEndOnTheTarget) {
    const ZoomRect point = pointRect(100, 50), window{264, 175, 760, 418};
    const std::vector<ZoomRect> open = zoomFrames(point, window, 8);
    ASSERT_EQ(open.size(), 8u);
    EXPECT_EQ(open[0], (ZoomRect{120, 65, 182, 96}));
    EXPECT_EQ(open[3], (ZoomRect{182, 112, 430, 234}));
    EXPECT_EQ(open.back(), window);
    EXPECT_EQ(zoomFrames(window, point, 8).back(), point);
}

TEST(DialogPictures, MarksAndHandAsDescribed) {
    const Picture off = unselectedMark(), on = selectedMark(), hand = handCursor();
    ASSERT_EQ(off.width * off.height, 144);
    ASSERT_EQ(on.width * on.height, 144);
    EXPECT_EQ(off.at(0, 0), 0xFF252525u);   // near-black frame
    EXPECT_EQ(off.at(1, 1), 0xFFAAAAAAu);   // face from grey...
    EXPECT_EQ(off.at(10, 10), 0xFFFFFFFFu); // ...to white
    EXPECT_EQ(on.at(11, 11), 0xFF252525u);
    EXPECT_EQ(on.at(5, 6), 0xFF31B1FFu); // bright blue in the middle
    ASSERT_EQ(hand.width * hand.height, 32 * 32);
    // The hot spot is the fingertip's outline, with the white finger right under it and nothing above.
    EXPECT_EQ(hand.at(kHandHotSpotX, kHandHotSpotY), 0xFF000000u);
    EXPECT_EQ(hand.at(kHandHotSpotX, kHandHotSpotY + 1), 0xFFFFFFFFu);
    EXPECT_EQ(hand.at(kHandHotSpotX, kHandHotSpotY - 1), 0u);
}

} // namespace
} // namespace mirevo
