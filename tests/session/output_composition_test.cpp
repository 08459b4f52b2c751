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
