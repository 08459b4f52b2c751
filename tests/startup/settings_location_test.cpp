// Where the settings are read and written: the decision as a table, then the real file system with a
// program folder that refuses writes even to root (a read-only bind mount in a private mount namespace).
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "saver/startup/settings_location.h"
#include "saver/startup/tovik_b.h"
#include "tests/harness/scoped_env.h"
#include "tests/harness/temp_dir.h"

namespace mirevo {
namespace {

using test::ScopedEnv;
using test::TempDir;

TEST(SettingsLocation, UserFileFollowsXdgConfigHomeThenHome) {
    const std::vector<std::vector<std::string>> cases{
        // XDG_CONFIG_HOME, HOME, user's file
        {"/cfg", "/home/u", "/cfg/mirevo/Mirevo.ini"},
        {"/cfg//", "/home/u", "/cfg/mirevo/Mirevo.ini"},
        {"", "/home/u", "/home/u/.config/mirevo/Mirevo.ini"},
        {"relative/cfg", "/home/u/", "/home/u/.config/mirevo/Mirevo.ini"}, // a relative one is ignored
        {"", "", ""},
        {"", "/", ""}, // no home worth the name: nowhere of the user's own
    };
    for (const auto& c : cases)
        EXPECT_EQ(userSettingsFile(c[0], c[1]), c[2]) << c[0] << " | " << c[1];
}

TEST(SettingsLocation, ProgramFolderWhenWritableElseTheUsersFile) {
    const std::string program = "/usr/lib/mirevo/Mirevo.ini", user = "/home/u/.config/mirevo/Mirevo.ini";
    struct Case {
        bool programWritable, userExists;
        std::string userFile, read, write;
    };
    const std::vector<Case> cases{
        {true, false, user, program, program},
        {true, true, user, program, program}, // a portable copy keeps its own file
        {false, false, user, program, user},  // the administrator's default until the first write
        {false, true, user, user, user},
        {false, false, "", program, program}, // nowhere else to go
    };
    for (const auto& c : cases) {
        const SettingsPaths paths =
            chooseSettingsPaths(program, c.userFile, {c.programWritable, c.userExists});
        EXPECT_EQ(paths.read, c.read) << c.programWritable << c.userExists << c.userFile;
        EXPECT_EQ(paths.write, c.write) << c.programWritable << c.userExists << c.userFile;
    }
}

// Makes folder read-only for everyone, root included, for as long as the object lives.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::string& folder) : folder_(folder) {
        static const bool privateNamespace =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        mounted_ =
            privateNamespace && ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (mounted_ &&
            ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
            ::umount2(folder.c_str(), MNT_DETACH);
            mounted_ = false;
        }
    }
    ~ReadOnlyFolder() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

TEST(SettingsLocation, LoadReadsAndWritesGoWhereTheUserCanKeepThem) {
    struct Case {
        const char* name;
        bool readOnly, programIni, userIni;
        int16_t loadedRepeat; // 3 from the program folder's file, 5 from the user's, 0 from none
        bool writeToUser;
    };
    const std::vector<Case> cases{
        {"read-only program folder with its own Mirevo.ini", true, true, false, 3, true},
        {"read-only program folder without one", true, false, false, 0, true},
        {"writable program folder", false, true, true, 3, false},
        {"read-only program folder and an existing user's file", true, true, true, 5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string program = dir / "lib/mirevo", config = dir / "config";
        const std::string programIni = program + "/Mirevo.ini", userIni = config + "/mirevo/Mirevo.ini";
        ASSERT_TRUE(test::writeFile(program + "/Mirevo.dll", "viewer"));
        if (c.programIni) test::writeFile(programIni, "[Section]\nBGM区分=1\nBGMﾘﾋﾟｰﾄ=3\n");
        if (c.userIni) test::writeFile(userIni, "[Section]\nBGM区分=1\nBGMﾘﾋﾟｰﾄ=5\n");
        ScopedEnv xdg("XDG_CONFIG_HOME", config);
        std::optional<ReadOnlyFolder> readOnly;
        if (c.readOnly && !readOnly.emplace(program).mounted())
            GTEST_SKIP() << "no read-only bind mount here (needs root)";
        EXPECT_EQ(canWriteSettingsFile(programIni), !c.readOnly);

        ProgramState state;
        Settings_Load(state, program);
        EXPECT_EQ(state.settings.BgmRepeat, c.loadedRepeat);
        EXPECT_EQ(state.settings.BgmFolder, program); // the file chooser still starts beside the programs

        int32_t result = 0;
        Ini_Write(kIniSection, kIniKeyBgmRepeat, "7", settingsPaths(program).write, result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(Ini_Read(kIniSection, kIniKeyBgmRepeat, c.writeToUser ? userIni : programIni), "7");
        if (c.writeToUser && !c.userIni) {
            struct stat info {};
            ASSERT_EQ(::stat((config + "/mirevo").c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0700u);
        }
        Settings_Load(state, program);
        EXPECT_EQ(state.settings.BgmRepeat, 7); // the next run sees the choice
    }
}

} // namespace
} // namespace mirevo
