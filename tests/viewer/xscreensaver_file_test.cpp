// xscreensaver's files as text: the desktop-images setting, and the hack in and out of the programs list
// with every other byte kept.
#include <gtest/gtest.h>

#include "viewer/hack/xscreensaver_file.h"

using namespace mirevo::viewer;

namespace {

// As xscreensaver writes ~/.xscreensaver: tabs, continuations, disabled entries, names, a two-line entry.
const std::string kUserFile =
    "# XScreenSaver Preferences File\n"
    "timeout:\t\t0:10:00\n"
    "grabDesktopImages:\tTrue\n"
    "programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
    "  GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
    "-\t\t     \"Qix (solid)\"  qix -root -solid -segments 100\t    \\n\\\n"
    "\t\t\t\tdeco -root -count 4 \\\n"
    "\t\t\t\t  -max-depth 3\t\t\t\t    \\n\\\n"
    "  GL: \t\t\t\tendgame -root\t\t\t\t    \\n\n"
    "\n"
    "pointerHysteresis:\t10\n";

std::string withEntry(const std::string& entryLine) {
    std::string text = kUserFile;
    const std::string header = "programs:\t\t\t\t\t\t\t\t      \\\n";
    text.insert(text.find(header) + header.size(), entryLine + "\n");
    return text;
}

} // namespace

TEST(XscreensaverFile, ResourceValuesAndTheirTruth) {
    struct Case {
        std::string text;
        const char* name;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {kUserFile, "grabDesktopImages", "True"},
        {kUserFile, "timeout", "0:10:00"},
        {kUserFile, "lock", std::nullopt},
        {"*grabDesktopImages:\t\tFalse\n", "grabDesktopImages", "False"},
        {"XScreenSaver.grabDesktopImages: yes\n", "grabDesktopImages", "yes"},
        {"! *grabDesktopImages: True\n*grabDesktopImages: off\n", "grabDesktopImages", "off"},
        {"# grabDesktopImages: True\n", "grabDesktopImages", std::nullopt},
        {"grabDesktopImages: True\ngrabDesktopImages: False\n", "grabDesktopImages", "False"},
        {"*grabDesktopImagesNot: True\n", "grabDesktopImages", std::nullopt},
        {"grabDesktopImages: \\\n   True\n", "grabDesktopImages", "True"},
        // a line inside another resource's continued value is not a resource of its own
        {"programs: \\\n grabDesktopImages: True \\n\\\n maze\n", "grabDesktopImages", std::nullopt},
        {"grabDesktopImages:True", "grabDesktopImages", "True"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(resourceValue(c.text, c.name), c.value);
    }
    for (const char* yes : {"True", "true", "YES", "on", "1", " True "}) EXPECT_EQ(resourceTruth(yes), true) << yes;
    for (const char* no : {"False", "no", "Off", "0"}) EXPECT_EQ(resourceTruth(no), false) << no;
    for (const char* neither : {"", "maybe", "2", "Truely"}) EXPECT_EQ(resourceTruth(neither), std::nullopt);
}

TEST(XscreensaverFile, TheUsersSettingThenTheSystemsThenNo) {
    const std::string allows = "grabDesktopImages: True\n", forbids = "*grabDesktopImages: False\n",
                      silent = "timeout: 0:10:00\n";
    struct Case {
        std::optional<std::string> user, system;
        bool allowed;
    };
    const Case cases[] = {
        {allows, forbids, true},          {forbids, allows, false},        {silent, allows, true},
        {silent, forbids, false},         {std::nullopt, allows, true},    {std::nullopt, std::nullopt, false},
        {silent, silent, false},          {"grabDesktopImages: perhaps\n", allows, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user.value_or("(no user file)") + " / " + c.system.value_or("(no system file)"));
        EXPECT_EQ(desktopImagesAllowed(c.user, c.system), c.allowed);
    }
}

TEST(XscreensaverFile, TheHackGoesInFirstAndComesOutLeavingEveryOtherByte) {
    const std::string entry = "  GL: \t\t\t\"Mirevo\" mirevo-hack --root\t\t\t\t    \\n\\";
    auto added = addHackToPrograms(kUserFile, "mirevo-hack", "mirevo-hack");
    ASSERT_EQ(added.outcome, ProgramsEdit::Changed);
    EXPECT_EQ(added.text, withEntry(entry));
    EXPECT_EQ(addHackToPrograms(added.text, "mirevo-hack", "mirevo-hack").outcome, ProgramsEdit::AlreadyThere);
    auto removed = removeHackFromPrograms(added.text, "mirevo-hack");
    ASSERT_EQ(removed.outcome, ProgramsEdit::Changed);
    EXPECT_EQ(removed.text, kUserFile);
    EXPECT_EQ(removeHackFromPrograms(kUserFile, "mirevo-hack").outcome, ProgramsEdit::NotThere);

    // A full path goes in as it is; the entry is known by the name at its end.
    auto byPath = addHackToPrograms(kUserFile, "/usr/local/libexec/xscreensaver/mirevo-hack", "mirevo-hack");
    EXPECT_NE(byPath.text.find("  GL: \t\t\t\"Mirevo\" /usr/local/libexec/xscreensaver/mirevo-hack --root"),
              std::string::npos);
    EXPECT_EQ(removeHackFromPrograms(byPath.text, "mirevo-hack").text, kUserFile);
}

TEST(XscreensaverFile, EntriesTheUserChangedAreFoundAndRemovedWhole) {
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"disabled", withEntry("-\t\t\t\tmirevo-hack --root --fps\t\t\t    \\n\\")},
        {"named", withEntry("\t\t\t\"Mirevo\" mirevo-hack --root\t\t\t    \\n\\")},
        {"disabled, visual and name",
         withEntry("- GL: \t\"Mirevo (fps)\" /opt/x/mirevo-hack --root --fps\t    \\n\\")},
        {"over two lines", withEntry("  GL: \t\t\t\tmirevo-hack \\\n\t\t\t\t  --root --fps\t\t\t    \\n\\")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(addHackToPrograms(c.text, "mirevo-hack", "mirevo-hack").outcome, ProgramsEdit::AlreadyThere);
        auto removed = removeHackFromPrograms(c.text, "mirevo-hack");
        EXPECT_EQ(removed.outcome, ProgramsEdit::Changed);
        EXPECT_EQ(removed.text, kUserFile);
    }
}

TEST(XscreensaverFile, TheListsLastEntryAndListsWithoutEntries) {
    // The last entry out: the one before it ends the value.
    const std::string lastIsOurs = "programs:\t\\\n  maze -root \\n\\\n  GL: mirevo-hack --root \\n\n\nlock: False\n";
    EXPECT_EQ(removeHackFromPrograms(lastIsOurs, "mirevo-hack").text,
              "programs:\t\\\n  maze -root \\n\n\nlock: False\n");
    const std::string onlyOurs = "programs:\t\\\n  GL: mirevo-hack --root \\n\nlock: False\n";
    EXPECT_EQ(removeHackFromPrograms(onlyOurs, "mirevo-hack").text, "programs:\t\nlock: False\n");

    // An empty list takes the hack as its only entry.
    auto intoEmpty = addHackToPrograms("programs:\nlock: False\n", "mirevo-hack", "mirevo-hack");
    ASSERT_EQ(intoEmpty.outcome, ProgramsEdit::Changed);
    EXPECT_EQ(resourceValue(intoEmpty.text, "lock"), "False");
    EXPECT_EQ(removeHackFromPrograms(intoEmpty.text, "mirevo-hack").outcome, ProgramsEdit::Changed);

    EXPECT_EQ(addHackToPrograms("timeout: 0:10:00\n", "mirevo-hack", "mirevo-hack").outcome, ProgramsEdit::NoList);
    EXPECT_EQ(removeHackFromPrograms("", "mirevo-hack").outcome, ProgramsEdit::NoList);
    // A header that holds an entry itself is not edited rather than edited wrongly.
    EXPECT_EQ(addHackToPrograms("programs: maze -root \\n\\\n  qix -root\n", "mirevo-hack", "mirevo-hack").outcome,
              ProgramsEdit::NoList);
}

TEST(XscreensaverFile, InstallThenUninstallGivesBackTheExactBytes) {
    const std::string cases[] = {
        kUserFile,
        "programs:\nlock: False\n",
        "programs:\t \nlock: False\n",
        "lock: False\nprograms:",
        "programs:\t\\\n",
        "programs:\t\\\n\t\tmaze -root \\n\n",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        const auto added = addHackToPrograms(text, "mirevo-hack", "mirevo-hack");
        ASSERT_EQ(added.outcome, ProgramsEdit::Changed);
        EXPECT_EQ(removeHackFromPrograms(added.text, "mirevo-hack").text, text);
    }
}
