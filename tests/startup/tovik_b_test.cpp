// The shared procedures: loading the settings, file existence and the folder of a path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shared/settings_file/profile_file.h"
#include "shared/settings_file/settings_store.h"
#include "shared/settings_file/tovik_b.h"
#include "tests/harness/as_nobody.h"
#include "tests/harness/temp_dir.h"

namespace mirevo {
namespace {

using test::TempDir;

// Shift-JIS bytes of the key names and of "音楽" and "曲", as the Windows program wrote them.
const std::string kSjisBgmKind = "BGM\x8B\xE6\x95\xAA";
const std::string kSjisBgmRepeat = "BGM\xD8\xCB\xDF\xB0\xC4";
const std::string kSjisBgmFile = "BGM\xCC\xA7\xB2\xD9";
const std::string kSjisMusicFolder = "\x89\xB9\x8A\x79";
const std::string kSjisSong = "\x8B\xC8";

struct LoadCase {
    std::string name;
    std::string ini;          // "$DIR" stands for the program folder; empty: no settings file
    std::string existingFile; // made below the program folder before loading, when not empty
    Settings start;           // the values before loading
    int16_t kind;
    int16_t repeat;
    std::string file;   // "$DIR" as above
    std::string folder; // "$DIR" as above
};

std::string expand(std::string text, const std::string& dir) {
    for (std::size_t at = text.find("$DIR"); at != std::string::npos; at = text.find("$DIR", at + dir.size()))
        text.replace(at, 4, dir);
    return text;
}

TEST(SettingsLoad, FillsTheSettingsFromTheIniFile) {
    const Settings zero;
    Settings previous;
    previous.BgmKind = 5;
    previous.BgmRepeat = 7;
    const std::vector<LoadCase> cases{
        {"no settings file", "", "", zero, 0, 0, "", "$DIR"},
        {"empty values", "[Section]\nBGM区分=\nBGMﾘﾋﾟｰﾄ=\nBGMﾌｧｲﾙ=\n", "", previous, 0, 0, "", "$DIR"},
        {"file kind with a file that exists", "[Section]\nBGM区分=2\nBGMﾘﾋﾟｰﾄ=3\nBGMﾌｧｲﾙ=$DIR/音楽/曲.mp3\n",
         "音楽/曲.mp3", zero, 2, 3, "$DIR/音楽/曲.mp3", "$DIR/音楽"},
        {"file kind with a missing file", "[Section]\nBGM区分=2\nBGMﾌｧｲﾙ=$DIR/gone.mp3\n", "", zero, 0, 0, "",
         "$DIR"},
        {"file kind with no file", "[Section]\nBGM区分=2\n", "", zero, 0, 0, "", "$DIR"},
        {"CD kind with no file", "[Section]\nBGM区分=1\nBGMﾘﾋﾟｰﾄ=4\n", "", zero, 1, 4, "", "$DIR"},
        {"CD kind with a missing file", "[Section]\nBGM区分=1\nBGMﾌｧｲﾙ=/nowhere/x.wav\n", "", zero, 1, 0, "",
         "$DIR"},
        {"kind not a number", "[Section]\nBGM区分=abc\n", "", zero, 0, 0, "", "$DIR"},
        {"not a number keeps the previous value", "[Section]\nBGM区分=abc\nBGMﾘﾋﾟｰﾄ=1e3\n", "", previous, 5,
         7, "", "$DIR"},
        {"kind above 16 bits", "[Section]\nBGM区分=40000\nBGMﾘﾋﾟｰﾄ=-32769\n", "", zero, 0, 0, "", "$DIR"},
        {"16-bit limits", "[Section]\nBGM区分=32767\nBGMﾘﾋﾟｰﾄ=-32768\n", "", zero, 32767, -32768, "", "$DIR"},
        {"just past the limit after rounding down", "[Section]\nBGM区分=32767.9\nBGMﾘﾋﾟｰﾄ=-32768.1\n", "",
         zero, 32767, 0, "", "$DIR"},
        {"fractions round down", "[Section]\nBGM区分=2.9\nBGMﾘﾋﾟｰﾄ=-0.5\nBGMﾌｧｲﾙ=$DIR/a.wav\n", "a.wav", zero,
         2, -1, "$DIR/a.wav", "$DIR"},
        {"blanks, quotes and signs", "[Section]\nBGM区分 = \" +1 \"\nBGMﾘﾋﾟｰﾄ=-0\n", "", zero, 1, 0, "",
         "$DIR"},
        {"other kinds stay as read", "[Section]\nBGM区分=9\n", "", zero, 9, 0, "", "$DIR"},
        {"folder with a trailing slash", "[Section]\nBGM区分=2\nBGMﾌｧｲﾙ=$DIR/音楽/\n", "音楽/曲.mp3", zero, 0,
         0, "", "$DIR"},
        {"file with a trailing slash", "[Section]\nBGM区分=2\nBGMﾌｧｲﾙ=$DIR/曲.wav/\n", "曲.wav", zero, 2, 0,
         "$DIR/曲.wav/", "$DIR/曲.wav"},
        {"Shift-JIS file from the Windows program",
         "[Section]\r\n" + kSjisBgmKind + "=2\r\n" + kSjisBgmRepeat + "=6\r\n" + kSjisBgmFile + "=$DIR/" +
             kSjisMusicFolder + "/" + kSjisSong + ".wav\r\n",
         "音楽/曲.wav", zero, 2, 6, "$DIR/音楽/曲.wav", "$DIR/音楽"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (!c.ini.empty()) test::writeFile(dir / "Mirevo.ini", expand(c.ini, dir.path()));
        if (!c.existingFile.empty()) test::writeFile(dir / c.existingFile, "music");
        ProgramState state;
        state.settings = c.start;
        Settings_Load(state, dir.path());
        EXPECT_EQ(state.settings.BgmKind, c.kind);
        EXPECT_EQ(state.settings.BgmRepeat, c.repeat);
        EXPECT_EQ(state.settings.BgmFile, expand(c.file, dir.path()));
        EXPECT_EQ(state.settings.BgmFolder, expand(c.folder, dir.path()));
    }
}

// Paths past the Windows program's 255 bytes: a program folder and a music file deep in Japanese folders.
TEST(SettingsLoad, LongJapanesePathsSurviveWriteReadAndLoad) {
    TempDir dir;
    std::string programFolder = dir.path();
    for (const char* piece : {"音", "楽", "曲", "歌"}) {
        std::string name;
        for (int i = 0; i < 50; ++i)
            name += piece; // 150 bytes, within one name's limit
        programFolder += "/" + name;
    }
    const std::string music = programFolder + "/ミュージック/とても長い名前の曲.mp3";
    ASSERT_GT(music.size(), 600u);
    test::writeFile(music, "music");

    const std::string ini = settingsFilePath(programFolder);
    Settings chosen;
    chosen.BgmKind = 2;
    chosen.BgmRepeat = 0;
    chosen.BgmFile = music;
    ASSERT_TRUE(storeSettings(ini, chosen));
    EXPECT_EQ(Ini_Read(kIniSection, kIniKeyBgmFile, ini), music);

    ProgramState state;
    Settings_Load(state, programFolder);
    EXPECT_EQ(state.settings.BgmKind, BGM_FILE);
    EXPECT_EQ(state.settings.BgmFile, music);
    EXPECT_EQ(state.settings.BgmFolder, programFolder + "/ミュージック");
}

TEST(IniRead, LongValuesAreCutAtACharacterBoundary) {
    TempDir dir;
    std::string value;
    while (value.size() < kIniValueBuffer + 10)
        value += "曲";
    ASSERT_TRUE(writeProfileString(dir / "Mirevo.ini", kIniSection, "long", value));
    const std::string read = Ini_Read(kIniSection, "long", dir / "Mirevo.ini");
    // The largest whole number of 3-byte characters in 4095 bytes.
    EXPECT_EQ(read, value.substr(0, (kIniValueBuffer - 1) / 3 * 3));
}

TEST(FileExists, OnlyThingsThatOpenForReadingAndAreNoFolder) {
    TempDir dir;
    test::writeFile(dir / "song.mp3", "music");
    test::writeFile(dir / "empty.wav", "");
    std::filesystem::create_directory(dir / "folder");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    std::filesystem::create_symlink(dir / "song.mp3", dir / "link.mp3");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);

    const std::vector<std::pair<std::string, bool>> cases{
        {dir / "song.mp3", true},
        {dir / "song.mp3/", true}, // one trailing "/" is dropped before the test
        {dir / "song.mp3//", false},
        {dir / "empty.wav", true},
        {dir / "link.mp3", true},
        {dir / "fifo", true}, // opens at once, without waiting for a writer
        {dir / "folder", false},
        {dir / "folder/", false},
        {dir / "missing.mp3", false},
        {dir / "dangling", false},
        {dir / "song.mp3/inside", false},
        {"", false},
        {"/", false},
    };
    for (const auto& [path, exists] : cases)
        EXPECT_EQ(File_Exists(path), exists) << path;
}

TEST(FileExists, UnreadableFileIsMissing) {
    TempDir dir;
    const std::string locked = dir / "locked.mp3";
    test::writeFile(locked, "music");
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    if (::geteuid() != 0) {
        EXPECT_FALSE(File_Exists(locked));
        return;
    }
    // Root reads files whatever their mode: nobody is asked instead, in a folder it may pass through.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0711), 0);
    ASSERT_TRUE(test::giveToNobody(locked));
    EXPECT_TRUE(test::trueAsNobody([&] { return !File_Exists(locked); }));
    // The same file readable: nobody finds it, so the answer above was the mode's.
    ASSERT_EQ(::chmod(locked.c_str(), 0400), 0);
    EXPECT_TRUE(test::trueAsNobody([&] { return File_Exists(locked); }));
}

TEST(PathFolder, TextUpToTheLastSlash) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/music/song.mp3", "/music"},
        {"/home/u/音楽/曲.wav", "/home/u/音楽"},
        {"/song.mp3", "/"},
        {"/", "/"},
        {"//song.mp3", "/"},
        {"/music/", "/music"},
        {"music/song.mp3", "music"},
        {"song.mp3", ""},
        {"", ""},
        {"C:\\Music\\song.mp3", ""}, // "\" and ":" are ordinary characters here
        {"/a:b\\c/d", "/a:b\\c"},
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(Path_Folder(path), folder) << path;
}

TEST(SettingsFilePath, JoinsTheProgramFolderOnce) {
    EXPECT_EQ(settingsFilePath("/opt/mirevo"), "/opt/mirevo/Mirevo.ini");
    EXPECT_EQ(settingsFilePath("/"), "/Mirevo.ini");
}

} // namespace
} // namespace mirevo
