// The ini file rules: reading and editing text by hand-made files, and the file on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "shared/settings_file/profile_encoding.h"
#include "shared/settings_file/profile_file.h"
#include "tests/harness/as_nobody.h"
#include "tests/harness/temp_dir.h"

namespace mirevo {
namespace {

using test::TempDir;

// A settings file as someone might leave it after editing it by hand.
const std::string kHandEdited = "; Mirevo settings, edited by hand\n"
                                "loose=a key outside any section\n"
                                "[ Other ]\n"
                                "BGM区分 = 9\n"
                                "\n"
                                "  [  section  ]  \n"
                                "  bgm区分   =   2  \n"
                                "not a key line\n"
                                "BGMﾘﾋﾟｰﾄ=\"  3 \"\n"
                                "BGMﾌｧｲﾙ='/music/song.mp3'\n"
                                "; BGMﾌｧｲﾙ=/commented/out.mp3\n"
                                "mismatched=\"abc'\n"
                                "lonequote=\"\n"
                                "empty=\n"
                                "BGM区分=8\n"
                                "[SECTION]\n"
                                "BGMﾘﾋﾟｰﾄ=7\n"
                                "extra=only in the second one\n"
                                "[Zone]\n"
                                "aZ=ends of the alphabet\n"
                                "[Last]\n"
                                "final=no newline after me";

std::string withCrlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

TEST(ProfileText, ReadsHandEditedFiles) {
    struct Case {
        std::string section, key;
        std::optional<std::string> value;
    };
    const std::vector<Case> cases{
        {"Section", "BGM区分", "2"}, // the first of two matching keys
        {"SECTION", "Bgm区分", "2"},
        {"Section", "BGMﾘﾋﾟｰﾄ", "  3 "}, // blanks inside the quotes stay
        {"section", "bgmﾌｧｲﾙ", "/music/song.mp3"},
        {" Section ", " BGMﾌｧｲﾙ ", "/music/song.mp3"},
        {"Section", "mismatched", "\"abc'"},
        {"Section", "lonequote", "\""},
        {"Section", "empty", ""},
        {"Section", "extra", std::nullopt}, // the first matching section is the one read
        {"Section", "loose", std::nullopt},
        {"Section", "not a key line", std::nullopt},
        {"Section", "ＢＧＭ区分", std::nullopt}, // only ASCII letters ignore case
        {"Section", "BGMﾘﾋﾟｰﾄ ", "  3 "},
        {"Section", "BGMリピート", std::nullopt}, // full-width katakana is another name
        {"zone", "Az", "ends of the alphabet"},   // "A" and "Z" ignore case as much as "M" does
        {"Other", "bgm区分", "9"},
        {"other", "BGMﾘﾋﾟｰﾄ", std::nullopt},
        {"Last", "final", "no newline after me"},
        {"Missing", "BGM区分", std::nullopt},
        {"", "loose", std::nullopt},
    };
    for (const auto& text : {kHandEdited, withCrlf(kHandEdited), "\xEF\xBB\xBF" + kHandEdited.substr(34)}) {
        for (const auto& c : cases) {
            SCOPED_TRACE("[" + c.section + "] " + c.key);
            EXPECT_EQ(profileTextValue(text, c.section, c.key), c.value);
        }
    }
    // The byte order mark in front of the first section does not hide it.
    EXPECT_EQ(profileTextValue("\xEF\xBB\xBF[Section]\nBGM区分=1\n", "Section", "BGM区分"), "1");
}

TEST(ProfileText, EditsKeepEveryOtherLine) {
    struct Case {
        std::string name, before, section, key, value, after;
    };
    const std::vector<Case> cases{
        {"replace a value", "; note\n[Section]\nBGM区分=1\nBGMﾘﾋﾟｰﾄ=0\n", "Section", "BGM区分", "2",
         "; note\n[Section]\nBGM区分=2\nBGMﾘﾋﾟｰﾄ=0\n"},
        {"replace keeps the file's spelling of the key", "[section]\n  bgm区分 = 1 \n", "Section", "BGM区分",
         "2", "[section]\nbgm区分=2\n"},
        {"new key after the last key line", "[Section]\na=1\n; about b\n\n[Other]\nc=3\n", "Section", "b",
         "2", "[Section]\na=1\nb=2\n; about b\n\n[Other]\nc=3\n"},
        {"new key in a section without keys", "[Section]\n\n", "Section", "k", "v", "[Section]\nk=v\n\n"},
        {"new key in the last section", "[Other]\nc=3\n[Section]\na=1\n", "Section", "b", "2",
         "[Other]\nc=3\n[Section]\na=1\nb=2\n"},
        {"new section at the end", "[Other]\nc=3\n", "Section", "k", "v", "[Other]\nc=3\n\n[Section]\nk=v\n"},
        {"new section after a blank line", "[Other]\nc=3\n\n", "Section", "k", "v",
         "[Other]\nc=3\n\n[Section]\nk=v\n"},
        {"new section in an empty file", "", "Section", "k", "v", "[Section]\nk=v\n"},
        {"a key outside any section is not the section's", "k=old\n", "Section", "k", "new",
         "k=old\n\n[Section]\nk=new\n"},
        {"duplicate sections: the first is written", "[Section]\na=1\n[SECTION]\nk=2\n", "Section", "k", "3",
         "[Section]\na=1\nk=3\n[SECTION]\nk=2\n"},
        {"CRLF kept", "[Section]\r\na=1\r\n", "Section", "b", "2", "[Section]\r\na=1\r\nb=2\r\n"},
        {"CRLF for a new section", "x=1\r\n", "Section", "k", "v", "x=1\r\n\r\n[Section]\r\nk=v\r\n"},
        {"no newline at the end: replace", "[Section]\na=1", "Section", "a", "9", "[Section]\na=9"},
        {"no newline at the end: add", "[Section]\na=1", "Section", "b", "2", "[Section]\na=1\nb=2"},
        {"no newline at the end: new section", "[Other]\nc=3", "Section", "k", "v",
         "[Other]\nc=3\n\n[Section]\nk=v\n"},
        {"last line cut after its CR: replace", "[Section]\r\na=1\r", "Section", "a", "9",
         "[Section]\r\na=9"},
        {"last line cut after its CR: new section", "[Other]\nc=x\r", "Section", "k", "v",
         "[Other]\nc=x\r\n\n[Section]\nk=v\n"},
        {"stray CRs before the end", "[Other]\nc=x\r\r\r", "Section", "k", "v",
         "[Other]\nc=x\r\r\r\n\n[Section]\nk=v\n"},
        {"empty value", "[Section]\na=1\n", "Section", "a", "", "[Section]\na=\n"},
        {"blanks at the ends are quoted", "", "Section", "k", " x ", "[Section]\nk=\" x \"\n"},
        {"a quoted value is quoted again", "", "Section", "k", "'x'", "[Section]\nk=\"'x'\"\n"},
        {"Japanese names and values", "", "Section", "BGMﾌｧｲﾙ", "/音楽/曲.mp3",
         "[Section]\nBGMﾌｧｲﾙ=/音楽/曲.mp3\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto after = profileTextWithValue(c.before, c.section, c.key, c.value);
        ASSERT_TRUE(after.has_value());
        EXPECT_EQ(*after, c.after);
        EXPECT_EQ(profileTextValue(*after, c.section, c.key), c.value);
        // Values of other sections read the same after the edit.
        EXPECT_EQ(profileTextValue(*after, "Other", "c"), profileTextValue(c.before, "Other", "c"));
    }
}

TEST(ProfileText, RefusesWhatALineCannotHold) {
    struct Case {
        std::string section, key, value;
    };
    const std::vector<Case> cases{
        {"Section", "k", "two\nlines"},
        {"Section", "k", "cr\rhere"},
        {"Section", "k", std::string("nul\0x", 5)},
        {"Section", "", "v"},
        {"Section", "  ", "v"},
        {"", "k", "v"},
        {"Sec]tion", "k", "v"},
        {"Section", "a=b", "v"},
        {"Section", ";k", "v"},
        {"Section", "[k", "v"},
        {"Sec\ntion", "k", "v"},
        {"Section", "k", "caf\xE9"}, // not UTF-8: it would read back as something else
        {"Section", "caf\xE9", "v"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(profileTextWithValue("[Section]\nk=1\n", c.section, c.key, c.value).has_value())
            << "[" << c.section << "] " << c.key << "=" << c.value;
}

TEST(ProfileLine, DecodesShiftJisAndKeepsUtf8) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
        {"plain ascii", "plain ascii"},
        {"BGM区分=2", "BGM区分=2"},
        {"BGM\x8B\xE6\x95\xAA=2", "BGM区分=2"},
        {"BGM\xCC\xA7\xB2\xD9", "BGMﾌｧｲﾙ"},
        {"\x89\xB9\x8A\x79\\\x95\x5C", "音楽\\表"}, // the second byte of 表 is "\"
        {"\x80", std::nullopt},                     // neither UTF-8 nor Shift-JIS
        {"\xC0\xAF", "ﾀｯ"},                         // an overlong UTF-8 "/" is Shift-JIS katakana
        {"", ""},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(decodeProfileLine(bytes), text) << bytes;
}

TEST(ProfileFile, MissingFileSectionOrKeyIsCreated) {
    TempDir dir;
    const std::string ini = dir / "Mirevo.ini";
    EXPECT_EQ(readProfileString(ini, "Section", "BGM区分"), std::nullopt);
    ASSERT_TRUE(writeProfileString(ini, "Section", "BGM区分", "2"));
    ASSERT_TRUE(writeProfileString(ini, "Section", "BGMﾘﾋﾟｰﾄ", "0"));
    ASSERT_TRUE(writeProfileString(ini, "Section", "BGMﾌｧｲﾙ", "/music/song.mp3"));
    EXPECT_EQ(test::readFile(ini), "[Section]\nBGM区分=2\nBGMﾘﾋﾟｰﾄ=0\nBGMﾌｧｲﾙ=/music/song.mp3\n");
    EXPECT_EQ(readProfileString(ini, "section", "bgmﾌｧｲﾙ"), "/music/song.mp3");
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_FALSE(writeProfileString(dir / "no-folder/Mirevo.ini", "Section", "k", "v"));
}

TEST(ProfileFile, FirstWriteTurnsAShiftJisFileIntoUtf8) {
    TempDir dir;
    const std::string ini = dir / "Mirevo.ini";
    test::writeFile(
        ini, "; \x83\x81\x83\x82\r\n[Section]\r\nBGM\x8B\xE6\x95\xAA=1\r\nBGM\xD8\xCB\xDF\xB0\xC4=3\r\n"
             "BGM\xCC\xA7\xB2\xD9=/\x89\xB9\x8A\x79/a.mp3\r\n");
    EXPECT_EQ(readProfileString(ini, "Section", "BGMﾌｧｲﾙ"), "/音楽/a.mp3");
    ASSERT_TRUE(writeProfileString(ini, "Section", "BGM区分", "2"));
    EXPECT_EQ(test::readFile(ini),
              "; メモ\r\n[Section]\r\nBGM区分=2\r\nBGMﾘﾋﾟｰﾄ=3\r\nBGMﾌｧｲﾙ=/音楽/a.mp3\r\n");
}

TEST(ProfileFile, WritesThroughASymbolicLinkAndKeepsTheMode) {
    TempDir dir;
    const std::string target = dir / "real/Mirevo.ini";
    test::writeFile(target, "[Section]\nBGM区分=1\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    std::filesystem::create_symlink(target, dir / "Mirevo.ini");

    ASSERT_TRUE(writeProfileString(dir / "Mirevo.ini", "Section", "BGM区分", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "Mirevo.ini"));
    EXPECT_EQ(test::readFile(target), "[Section]\nBGM区分=2\n");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    std::filesystem::create_symlink(dir / "nowhere.ini", dir / "dangling.ini");
    EXPECT_FALSE(writeProfileString(dir / "dangling.ini", "Section", "k", "v"));
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere.ini"));
}

// One line in neither UTF-8 nor Shift-JIS, or a file larger than 1 MiB, used to hide every setting and refuse
// every write.
TEST(ProfileFile, StrayBytesOrALargeFileKeepTheSettings) {
    TempDir dir;
    const std::string ini = dir / "Mirevo.ini";
    const std::string latin1 = "; caf\xE9 au lait\n";
    const std::string latin1Section = "[Caf\xE9 noir]\nextra=9\n";
    test::writeFile(ini,
                    latin1 + "[Section]\nBGM区分=2\nBGM\xD8\xCB\xDF\xB0\xC4=3\nk=\x80\n" + latin1Section);
    EXPECT_EQ(readProfileString(ini, "Section", "BGM区分"), "2");
    EXPECT_EQ(readProfileString(ini, "Section", "BGMﾘﾋﾟｰﾄ"), "3");       // Shift-JIS among UTF-8 lines
    EXPECT_EQ(readProfileString(ini, "Section", "k"), std::nullopt);     // stray bytes match no name
    EXPECT_EQ(readProfileString(ini, "Section", "extra"), std::nullopt); // and still end a section
    ASSERT_TRUE(writeProfileString(ini, "Section", "BGM区分", "1"));
    EXPECT_EQ(test::readFile(ini), latin1 + "[Section]\nBGM区分=1\nBGMﾘﾋﾟｰﾄ=3\nk=\x80\n" + latin1Section);

    const std::string notes(2 << 20, ';'); // a comment of 2 MiB
    test::writeFile(ini, "[Section]\nBGM区分=2\n" + notes);
    EXPECT_EQ(readProfileString(ini, "Section", "BGM区分"), "2");
    ASSERT_TRUE(writeProfileString(ini, "Section", "BGMﾘﾋﾟｰﾄ", "4"));
    EXPECT_EQ(test::readFile(ini), "[Section]\nBGM区分=2\nBGMﾘﾋﾟｰﾄ=4\n" + notes);

    // Past the limit the file is left alone, and said so once.
    const std::string huge = dir / "huge.ini";
    test::writeFile(huge, "[Section]\nk=v\n");
    ASSERT_EQ(::truncate(huge.c_str(), kMaxProfileFileBytes + 1), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(readProfileString(huge, "Section", "k"), std::nullopt);
    EXPECT_FALSE(writeProfileString(huge, "Section", "k", "w"));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line: " << said;
    EXPECT_NE(said.find("huge.ini is larger than 64 MiB"), std::string::npos) << said;

    std::filesystem::create_directory(dir / "folder.ini");
    EXPECT_EQ(readProfileString(dir / "folder.ini", "Section", "k"), std::nullopt);
    EXPECT_FALSE(writeProfileString(dir / "folder.ini", "Section", "k", "v"));
}

// The limit is inclusive: a file of exactly 64 MiB is a settings file like any other.
TEST(ProfileFile, AFileOfExactlyTheLimitIsReadAndEdited) {
    TempDir dir;
    const std::string ini = dir / "Mirevo.ini";
    const std::string head = "[Section]\nk=v\n;";
    test::writeFile(ini, head + std::string(kMaxProfileFileBytes - head.size(), ';'));
    EXPECT_EQ(readProfileString(ini, "Section", "k"), "v");
    EXPECT_TRUE(writeProfileString(ini, "Section", "k", "w"));
    EXPECT_EQ(readProfileString(ini, "Section", "k"), "w");
    EXPECT_EQ(std::filesystem::file_size(ini), kMaxProfileFileBytes);
}

TEST(ProfileFile, ReadOnlyFolderFailsCleanly) {
    TempDir dir;
    const std::string ini = dir / "Mirevo.ini";
    test::writeFile(ini, "[Section]\nk=1\n");
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
        EXPECT_FALSE(writeProfileString(ini, "Section", "k", "2"));
    } else {
        // Root writes into read-only folders: nobody, owning the folder and the file, is asked instead.
        ASSERT_TRUE(test::giveToNobody(dir.path()) && test::giveToNobody(ini));
        ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
        EXPECT_TRUE(test::trueAsNobody([&] { return !writeProfileString(ini, "Section", "k", "2"); }));
        EXPECT_EQ(test::readFile(ini), "[Section]\nk=1\n");
        // The same folder writable: nobody's write goes through, so the refusal above was the folder's.
        ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);
        EXPECT_TRUE(test::trueAsNobody([&] { return writeProfileString(ini, "Section", "k", "3"); }));
        EXPECT_EQ(readProfileString(ini, "Section", "k"), "3");
        return;
    }
    EXPECT_EQ(test::readFile(ini), "[Section]\nk=1\n");
}

} // namespace
} // namespace mirevo
