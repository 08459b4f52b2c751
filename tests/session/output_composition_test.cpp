#include "saver/session/output_composition.h"

#include <cstring>

#include <gtest/gtest.h>

#include "saver/session/picture_sources.h"

namespace mirevo {
namespace {

constexpr uint32_t A = 0xFF0000, B = 0x00FF00, C = 0x0000FF, D = 0xFFFF00;

// A copy of the given words, rows top first, as a compositor hands it over.
OutputCopy copyOf(int width, int height, std::vector<uint32_t> words, OutputLayout layout = {}) {
    OutputCopy copy;
    copy.width = width, copy.height = height, copy.stride = size_t(width) * 4 + 8; // padded rows
    copy.pixels.assign(copy.stride * size_t(height), 0xEE);
    for (int y = 0; y < height; ++y)
        std::memcpy(copy.pixels.data() + size_t(y) * copy.stride, &words[size_t(y) * size_t(width)], size_t(width) * 4);
    copy.layout = layout;
    if (copy.layout.logicalWidth == 0) copy.layout.logicalWidth = width, copy.layout.logicalHeight = height;
    return copy;
}

std::vector<uint32_t> pixelsOf(const ComposedPicture& picture) {
    std::vector<uint32_t> out;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            out.push_back(picture.at(x, y));
    return out;
}

struct TransformCase {
    OutputTransform transform;
    std::vector<uint32_t> copied; // the 2 x 2 copy of the desktop [A B; C D] as the output's pixels hold it
};

class TurnedOutput : public ::testing::TestWithParam<TransformCase> {};

// The desktop the user sees is [A B; C D] whatever way round the output's pixels hold it.
TEST_P(TurnedOutput, IsTurnedBackToTheUsersView) {
    OutputLayout layout;
    layout.transform = GetParam().transform;
    layout.logicalWidth = 2, layout.logicalHeight = 2;
    const auto picture = composeOutputs({copyOf(2, 2, GetParam().copied, layout)});
    ASSERT_TRUE(picture.ok()) << picture.reason();
    EXPECT_EQ(pixelsOf(*picture), (std::vector<uint32_t>{A, B, C, D}));
}

INSTANTIATE_TEST_SUITE_P(Table, TurnedOutput,
                         ::testing::Values(TransformCase{OutputTransform::Normal, {A, B, C, D}},
                                           TransformCase{OutputTransform::Turn90, {B, D, A, C}},
                                           TransformCase{OutputTransform::Turn180, {D, C, B, A}},
                                           TransformCase{OutputTransform::Turn270, {C, A, D, B}},
                                           TransformCase{OutputTransform::Flipped, {B, A, D, C}},
                                           TransformCase{OutputTransform::Flipped90, {A, C, B, D}},
                                           TransformCase{OutputTransform::Flipped180, {C, D, A, B}},
                                           TransformCase{OutputTransform::Flipped270, {D, B, C, A}}));

constexpr uint32_t E = 0xFF00FF, F = 0x00FFFF;

struct OblongCase {
    OutputTransform transform;
    int copyWidth, copyHeight;
    std::vector<uint32_t> copied; // the desktop [A B C; D E F] as the output's pixels hold it
};

class TurnedOblongOutput : public ::testing::TestWithParam<OblongCase> {};

// A desktop wider than high: a turned output's copy is higher than wide, and is turned back whole.
TEST_P(TurnedOblongOutput, IsTurnedBackToTheUsersViewAtItsOwnShape) {
    const OblongCase& c = GetParam();
    OutputLayout layout;
    layout.transform = c.transform;
    layout.logicalWidth = 3, layout.logicalHeight = 2;
    const auto picture = composeOutputs({copyOf(c.copyWidth, c.copyHeight, c.copied, layout)});
    ASSERT_TRUE(picture.ok()) << picture.reason();
    ASSERT_EQ(picture->width(), 3);
    ASSERT_EQ(picture->height(), 2);
    EXPECT_EQ(pixelsOf(*picture), (std::vector<uint32_t>{A, B, C, D, E, F}));
}

INSTANTIATE_TEST_SUITE_P(Table, TurnedOblongOutput,
                         ::testing::Values(OblongCase{OutputTransform::Normal, 3, 2, {A, B, C, D, E, F}},
                                           OblongCase{OutputTransform::Turn90, 2, 3, {C, F, B, E, A, D}},
                                           OblongCase{OutputTransform::Turn180, 3, 2, {F, E, D, C, B, A}},
                                           OblongCase{OutputTransform::Turn270, 2, 3, {D, A, E, B, F, C}},
                                           OblongCase{OutputTransform::Flipped, 3, 2, {C, B, A, F, E, D}},
                                           OblongCase{OutputTransform::Flipped90, 2, 3, {A, D, B, E, C, F}},
                                           OblongCase{OutputTransform::Flipped180, 3, 2, {D, E, F, A, B, C}},
                                           OblongCase{OutputTransform::Flipped270, 2, 3, {F, C, E, B, D, A}}));

TEST(ComposeOutputs, PlacesOutputsByLogicalPositionAndLeavesGapsBlack) {
    OutputLayout left, right;
    left.x = -2, left.y = 0, left.logicalWidth = 2, left.logicalHeight = 2;
    right.x = 0, right.y = 1, right.logicalWidth = 1, right.logicalHeight = 1;
    const auto picture = composeOutputs({copyOf(2, 2, {A, A, A, A}, left), copyOf(1, 1, {B}, right)});
    ASSERT_TRUE(picture.ok()) << picture.reason();
    EXPECT_EQ(pixelsOf(*picture), (std::vector<uint32_t>{A, A, 0, A, A, B}));
}

TEST(ComposeOutputs, BringsAScaledOutputToLogicalSize) {
    OutputLayout layout;
    layout.scale = 2, layout.logicalWidth = 2, layout.logicalHeight = 1;
    const auto picture = composeOutputs({copyOf(4, 2, {A, A, B, B, A, A, B, B}, layout)});
    ASSERT_TRUE(picture.ok()) << picture.reason();
    EXPECT_EQ(pixelsOf(*picture), (std::vector<uint32_t>{A, B}));
}

TEST(ComposeOutputs, ReadsBottomFirstCopiesAndRedBlueOrder) {
    OutputCopy copy = copyOf(1, 2, {0x010203, 0x0A0B0C});
    copy.yInverted = true;
    copy.order = CopiedPixels::Xbgr;
    const auto picture = composeOutputs({copy});
    ASSERT_TRUE(picture.ok()) << picture.reason();
    EXPECT_EQ(pixelsOf(*picture), (std::vector<uint32_t>{0x0C0B0A, 0x030201}));
}

TEST(ComposeOutputs, DropsTheAlphaByte) {
    const auto picture = composeOutputs({copyOf(1, 1, {0xFF102030})});
    ASSERT_TRUE(picture.ok());
    EXPECT_EQ(picture->at(0, 0), 0x102030u);
}

TEST(ComposeOutputs, RefusesWhatCannotBeComposed) {
    EXPECT_FALSE(composeOutputs({}).ok());
    OutputCopy cut = copyOf(2, 2, {A, B, C, D});
    cut.pixels.resize(cut.pixels.size() - 1);
    EXPECT_FALSE(composeOutputs({cut}).ok());
    OutputLayout far;
    far.x = kMaxComposedSide, far.logicalWidth = 1, far.logicalHeight = 1;
    EXPECT_FALSE(composeOutputs({copyOf(1, 1, {A}), copyOf(1, 1, {A}, far)}).ok());
}

// A desktop larger than the floor can show keeps its own picture, reduced: here 12032 x 3384 logical pixels
// (two 6K screens side by side) become 8192 x 2304, each output's half still its own colour.
TEST(ComposeOutputs, ReducesADesktopLargerThanTheFloorCanShow) {
    OutputLayout left, right;
    left.logicalWidth = right.logicalWidth = 6016, left.logicalHeight = right.logicalHeight = 3384;
    right.x = 6016;
    const auto picture = composeOutputs({copyOf(1, 1, {A}, left), copyOf(1, 1, {B}, right)});
    ASSERT_TRUE(picture.ok()) << picture.reason();
    EXPECT_EQ(picture->width(), 8192);
    EXPECT_EQ(picture->height(), 2304);
    EXPECT_EQ(picture->at(0, 0), A);
    EXPECT_EQ(picture->at(4095, 2303), A);
    EXPECT_EQ(picture->at(4096, 0), B);
    EXPECT_EQ(picture->at(8191, 2303), B);
}

struct KeptCase {
    int width, height;
    PictureSize kept;
};

class KeptPicture : public ::testing::TestWithParam<KeptCase> {};

// Within 8192 pixels a side and 32 Mi pixels; larger pictures keep their shape.
TEST_P(KeptPicture, IsTheSizeWithinTheBoundsItsShapeKept) {
    const KeptCase& c = GetParam();
    EXPECT_EQ(keptPictureSize(c.width, c.height), c.kept) << c.width << " x " << c.height;
}

INSTANTIATE_TEST_SUITE_P(Table, KeptPicture,
                         ::testing::Values(KeptCase{1920, 1080, {1920, 1080}}, KeptCase{8192, 4096, {8192, 4096}},
                                           KeptCase{5792, 5792, {5792, 5792}}, KeptCase{6000, 6000, {5792, 5792}},
                                           KeptCase{8000, 8000, {5792, 5792}}, KeptCase{12032, 3384, {8192, 2304}},
                                           KeptCase{65535, 65535, {5792, 5792}}, KeptCase{100000, 1, {8192, 1}},
                                           KeptCase{0, 5, {0, 5}}));

// What a screenshot service may announce for the whole desktop: the outputs' box at the largest scale, or
// their modes side by side, whichever is more.
TEST(NativeDesktopSize, IsTheOutputsBoxAtTheLargestScale) {
    OutputLayout full, half, turned;
    full.logicalWidth = 1920, full.logicalHeight = 1080, full.modeWidth = 1920, full.modeHeight = 1080;
    half = full, half.x = 1920, half.scale = 2, half.logicalWidth = 960, half.logicalHeight = 540;
    turned.transform = OutputTransform::Turn90, turned.modeWidth = 1920, turned.modeHeight = 1080;
    EXPECT_EQ(nativeDesktopSize({}), (PictureSize{0, 0}));
    EXPECT_EQ(nativeDesktopSize({full}), (PictureSize{1920, 1920}));
    EXPECT_EQ(nativeDesktopSize({full, half}), (PictureSize{5760, 3840}));
    // Without xdg-output, the turned output's logical size is its mode turned.
    EXPECT_EQ(nativeDesktopSize({turned}), (PictureSize{1920, 1920}));
}

// What a compositor or screenshot service announces is believed only as far as the outputs go.
TEST(AnnouncedPictures, AreBelievedOnlyWithinTheOutputsSizes) {
    const PictureSize desktop{3840, 2160};
    EXPECT_TRUE(desktopPictureFits(3840, 2160, 3840 * 4, desktop));
    EXPECT_TRUE(desktopPictureFits(1920, 1080, 1920 * 4 + 64, desktop));
    EXPECT_FALSE(desktopPictureFits(65535, 65535, 65535u * 4, desktop));
    EXPECT_FALSE(desktopPictureFits(3841, 2160, 3841 * 4, desktop));
    EXPECT_FALSE(desktopPictureFits(0, 2160, 0, desktop));
    EXPECT_FALSE(desktopPictureFits(100, 100, 399, desktop));          // rows shorter than their pixels
    EXPECT_FALSE(desktopPictureFits(100, 100, 0xFFFFFFFF, desktop));   // rows far apart
    EXPECT_FALSE(desktopPictureFits(1, 1, 4, PictureSize{0, 0}));       // no outputs: nothing is believed

    OutputLayout output;
    output.modeWidth = 1920, output.modeHeight = 1080;
    EXPECT_TRUE(copyBufferFits(output, 1920, 1080, 1920 * 4));
    EXPECT_TRUE(copyBufferFits(output, 1080, 1920, 1080 * 4)); // a compositor that hands it over turned
    EXPECT_FALSE(copyBufferFits(output, 1921, 1080, 1921 * 4));
    EXPECT_FALSE(copyBufferFits(output, 65535, 65535, 65535u * 4));
    EXPECT_FALSE(copyBufferFits(output, 1920, 1080, 100));
    OutputLayout unknown; // no mode said: only the layout's own bound
    EXPECT_TRUE(copyBufferFits(unknown, 4096, 4096, 4096 * 4));
    EXPECT_FALSE(copyBufferFits(unknown, kMaxDesktopSide + 1, 1, (kMaxDesktopSide + 1) * 4));
}

TEST(ComposedPicture, IsReadBandByBandForTheMirroredBitmap) {
    const auto picture = composeOutputs({copyOf(2, 2, {A, B, C, D})});
    ASSERT_TRUE(picture.ok());
    ComposedPicture rows = *picture;
    std::vector<uint8_t> file;
    ASSERT_TRUE(writeMirroredBitmap(rows, [&](const uint8_t* bytes, size_t size) {
                    file.insert(file.end(), bytes, bytes + size);
                    return true;
                }).ok());
    ASSERT_EQ(file.size(), bitmapFileSize(2, 2));
    // Bottom row first, mirrored: D C, blue-green-red.
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 54, file.begin() + 60), (std::vector<uint8_t>{0, 255, 255, 255, 0, 0}));
}

struct Taken {
    const char* name;
    std::optional<uint32_t> colour; // empty: the source fails
};

// The sources given, each handing over a 1 x 1 picture of its colour or failing; which one won.
PictureOutcome runSources(const std::vector<Taken>& taken, std::vector<std::string>* asked = nullptr) {
    std::vector<PictureSource> sources;
    for (const Taken& t : taken)
        sources.push_back({t.name, [t, asked](Deadline) -> Result<ComposedPicture, std::string> {
                               if (asked) asked->push_back(t.name);
                               if (!t.colour) return Failure(std::string("refused"));
                               ComposedPicture picture(1, 1);
                               picture.set(0, 0, *t.colour);
                               return picture;
                           }});
    return firstPicture(sources);
}

TEST(FirstPicture, TakesTheFirstSourceThatGivesAPictureThatIsNotBlack) {
    std::vector<std::string> asked;
    const PictureOutcome outcome =
        runSources({{"copy", std::nullopt}, {"kwin", 0x000000}, {"portal", 0x123456}, {"never", 0xFFFFFF}}, &asked);
    ASSERT_TRUE(outcome.picture);
    EXPECT_EQ(outcome.picture->at(0, 0), 0x123456u);
    EXPECT_EQ(outcome.from, "portal");
    EXPECT_EQ(asked, (std::vector<std::string>{"copy", "kwin", "portal"}));
    EXPECT_EQ(outcome.failures, (std::vector<std::string>{"copy: refused", "kwin: an entirely black picture"}));
}

TEST(FirstPicture, SaysEverySourceThatFailedWhenNoneGivesOne) {
    const PictureOutcome outcome = runSources({{"copy", std::nullopt}, {"portal", std::nullopt}});
    EXPECT_FALSE(outcome.picture);
    EXPECT_EQ(outcome.failures.size(), 2u);
}

TEST(FirstPicture, GivesEachSourceItsOwnDeadline) {
    std::vector<Deadline> deadlines;
    Deadline clock{};
    std::vector<PictureSource> sources(2, PictureSource{"s", [&](Deadline d) -> Result<ComposedPicture, std::string> {
                                                            deadlines.push_back(d);
                                                            clock += std::chrono::seconds(3);
                                                            return Failure(std::string("slow"));
                                                        }});
    firstPicture(sources, [&] { return clock; }, std::chrono::seconds(4));
    ASSERT_EQ(deadlines.size(), 2u);
    EXPECT_EQ(deadlines[0], Deadline{} + std::chrono::seconds(4));
    EXPECT_EQ(deadlines[1], Deadline{} + std::chrono::seconds(7));
}

} // namespace
} // namespace mirevo
