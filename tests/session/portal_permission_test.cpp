#include "saver/session/portal_permission.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace mirevo {
namespace {

using namespace std::chrono_literals;

TEST(ScreenshotPermission, IsAYesForProgramsOutsideASandboxOnly) {
    EXPECT_TRUE(screenshotAllowed({{"", {"yes"}}}));
    EXPECT_TRUE(screenshotAllowed({{"org.example.App", {"no"}}, {"", {"ask", "yes"}}}));
    EXPECT_FALSE(screenshotAllowed({}));
    EXPECT_FALSE(screenshotAllowed({{"", {"no"}}}));
    EXPECT_FALSE(screenshotAllowed({{"", {}}}));
    EXPECT_FALSE(screenshotAllowed({{"org.example.App", {"yes"}}}));
}

struct RemovalCase {
    const char* name;
    std::string (*change)(struct stat& atPath, struct stat& read); // what differs from a file just made for us
    bool removed;
};

const auto kAsked = std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000));

struct stat madeFile() {
    struct stat file {};
    file.st_mode = S_IFREG | 0644, file.st_nlink = 1, file.st_uid = ::getuid(), file.st_dev = 7, file.st_ino = 42;
    file.st_mtim.tv_sec = 1'700'000'000, file.st_mtim.tv_nsec = 500'000'000;
    return file;
}

class PortalPictureRemoval : public ::testing::TestWithParam<RemovalCase> {};

// Only the plain file the portal just made for this request goes.
TEST_P(PortalPictureRemoval, OnlyThePlainFileJustMadeForUs) {
    struct stat atPath = madeFile(), read = madeFile();
    const std::string name = GetParam().change(atPath, read);
    EXPECT_EQ(mayRemovePortalPicture(name, atPath, read, ::getuid(), kAsked), GetParam().removed) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PortalPictureRemoval,
    ::testing::Values(
        RemovalCase{"made for us", [](struct stat&, struct stat&) { return std::string("Screenshot from 2024.png"); },
                    true},
        RemovalCase{"within the clock's grain",
                    [](struct stat& at, struct stat&) {
                        at.st_mtim.tv_sec -= 1;
                        return std::string("Screenshot.png");
                    },
                    true},
        RemovalCase{"another name", [](struct stat&, struct stat&) { return std::string("holiday.png"); }, false},
        RemovalCase{"not a png", [](struct stat&, struct stat&) { return std::string("Screenshot.jpg"); }, false},
        RemovalCase{"a link",
                    [](struct stat& at, struct stat&) {
                        at.st_mode = S_IFLNK | 0777;
                        return std::string("Screenshot.png");
                    },
                    false},
        RemovalCase{"linked elsewhere too",
                    [](struct stat& at, struct stat&) {
                        at.st_nlink = 2;
                        return std::string("Screenshot.png");
                    },
                    false},
        RemovalCase{"someone else's",
                    [](struct stat& at, struct stat&) {
                        at.st_uid += 1;
                        return std::string("Screenshot.png");
                    },
                    false},
        RemovalCase{"another file in its place since it was read",
                    [](struct stat& at, struct stat&) {
                        at.st_ino += 1;
                        return std::string("Screenshot.png");
                    },
                    false},
        RemovalCase{"older than the request",
                    [](struct stat& at, struct stat&) {
                        at.st_mtim.tv_sec -= 60;
                        return std::string("Screenshot.png");
                    },
                    false}));

} // namespace
} // namespace mirevo
