// The user's base folders: the XDG variable, then HOME, then the user database, each only when absolute.
#include <gtest/gtest.h>

#include "common/user_folders.h"

TEST(UserBaseFolder, XdgThenHomeThenTheUserDatabase) {
    struct Case {
        std::string xdg, home, databaseHome, expected;
    } const cases[] = {
        {"/cfg//", "/home/u", "/db", "/cfg"},
        {"relative", "/h/", "", "/h/.cache"},
        {"", "relative", "/home/u/", "/home/u/.cache"},
        {"", "", "relative", ""},
        {"", "/", "", "/.cache"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mirevo::userBaseFolder(c.xdg, c.home, ".cache", [&] { return c.databaseHome; }), c.expected)
            << c.xdg << " | " << c.home << " | " << c.databaseHome;
}
