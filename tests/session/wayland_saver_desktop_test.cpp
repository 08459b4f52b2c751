#include "saver/wayland_saver_desktop.h"

#include <gtest/gtest.h>

#include "common/built_in_picture.h"
#include "common/program_names.h"

namespace mirevo {
namespace {

PictureSource failing(const char* name) {
    return {name, [](Deadline) -> Result<ComposedPicture, std::string> { return Failure(std::string("no")); }};
}

TEST(WaylandSaverDesktop, WithoutAnySourceTheSnapshotIsMirevosOwnPicture) {
    ProgramState state;
    WaylandSaverDesktop desktop(state, {failing("copy"), failing("portal")});
    const auto rows = desktop.grabScreen();
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->width(), kBuiltInWidth);
    ASSERT_EQ(rows->height(), kBuiltInHeight);
    const auto* picture = dynamic_cast<const ComposedPicture*>(rows.get());
    ASSERT_TRUE(picture);
    EXPECT_FALSE(picture->allBlack());
    // The top row is the picture's sky, the bottom one its floor.
    EXPECT_EQ(picture->at(0, 0), builtInPixel(0, kBuiltInHeight - 1, kBuiltInWidth, kBuiltInHeight));
    EXPECT_EQ(picture->at(5, kBuiltInHeight - 1), builtInPixel(5, 0, kBuiltInWidth, kBuiltInHeight));
}

TEST(WaylandSaverDesktop, TakesTheFirstSourcesPicture) {
    ProgramState state;
    WaylandSaverDesktop desktop(
        state, {failing("copy"), {"kwin", [](Deadline) -> Result<ComposedPicture, std::string> {
                                      ComposedPicture picture(2, 1);
                                      picture.set(1, 0, 0x123456);
                                      return picture;
                                  }}});
    const auto rows = desktop.grabScreen();
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->width(), 2);
}

// Wayland has no window search: the viewer's process stands for its surfaces.
TEST(WaylandSaverDesktop, TheViewersWindowCountsAsThereWhileItsProcessRuns) {
    ProgramState state;
    WaylandSaverDesktop desktop(state, std::vector<PictureSource>{});
    EXPECT_TRUE(desktop.windowExists(kViewerWindowTitle));
    EXPECT_FALSE(desktop.windowExists(kSessionWindowTitle));
}

} // namespace
} // namespace mirevo
