// Where the settings are read and written: the decision as a table, then the real file system with a
// program folder that refuses writes even to root (a read-only bind mount in a private mount namespace).
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <filesystem>
#include <optional>
#include <string>

#include "shared/settings_file/settings_location.h"
#include "shared/settings_file/settings_store.h"
#include "shared/settings_file/tovik_b.h"
#include "tests/harness/scoped_env.h"
#include "tests/harness/temp_dir.h"

namespace mirevo {
namespace {

using test::ScopedEnv;
using test::TempDir;

// "/" is no folder of one's own, whether XDG_CONFIG_HOME, HOME or the user database names it.
TEST(SettingsLocation, UserFileIsMirevoIniInTheConfigFolderButNeverInTheRootFolder) {
    EXPECT_EQ(userSettingsFile("/", "//", [] { return "/home/u/"; }), "/home/u/.config/mirevo/Mirevo.ini");
    EXPECT_EQ(userSettingsFile("", "relative", [] { return "/"; }), "");
}

TEST(SettingsLocation, ProgramFolderWhenWritableElseTheUsersFile) {
    const std::string program = "/usr/lib/mirevo/Mirevo.ini", user = "/home/u/.config/mirevo/Mirevo.ini";
    struct Case {
        bool programWritable, userExists;
        std::string userFile, read, write;
    } const cases[]{
        {true, true, user, program, program}, // a build folder or a portable copy keeps its own file
        {false, false, user, program, user},  // the administrator's default until the first write
        {false, true, user, user, user},      // then the user's own
        {false, false, "", program, program}, // nowhere else to go
    };
    for (const auto& c : cases) {
        const SettingsPaths paths =
            chooseSettingsPaths(program, c.userFile, {c.programWritable, c.userExists});
        EXPECT_EQ(paths.read + " " + paths.write, c.read + " " + c.write)
            << c.programWritable << c.userExists;
    }
}

// Makes the folder read-only for everyone, root included, while the object lives. The mount is made in a
// mount namespace of the test's own, so nothing outlives the test.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::string& folder) : folder_(folder) {
        static const bool own =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        mounted_ = own && ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (mounted_ &&
            ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            mounted_ = ::umount2(folder.c_str(), MNT_DETACH) != 0;
    }
    ~ReadOnlyFolder() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    bool readOnly() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

TEST(SettingsLocation, LoadReadsAndWritesGoWhereTheUserCanKeepThem) {
    struct Case {
        bool readOnly, programIni, userIni;
        int16_t loadedRepeat; // 3 from the program folder's file, 5 from the user's, 0 from none
    } const cases[]{
        {false, true, true, 3},  // writable program folder, whatever the user has
        {true, true, false, 3},  // read-only program folder with its own Mirevo.ini
        {true, false, false, 0}, // read-only program folder without one
        {true, true, true, 5},   // read-only program folder and an existing user's file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.readOnly << c.programIni << c.userIni);
        TempDir dir;
        const std::string program = dir / "lib/mirevo", config = dir / "config";
        const std::string programIni = program + "/Mirevo.ini", userIni = config + "/mirevo/Mirevo.ini";
        ASSERT_TRUE(test::writeFile(program + "/Mirevo.dll", "viewer"));
        if (c.programIni) test::writeFile(programIni, "[Section]\nBGM区分=1\nBGMﾘﾋﾟｰﾄ=3\n");
        if (c.userIni) test::writeFile(userIni, "[Section]\nBGM区分=1\nBGMﾘﾋﾟｰﾄ=5\n");
        ScopedEnv xdg("XDG_CONFIG_HOME", config);
        std::optional<ReadOnlyFolder> readOnly;
        if (c.readOnly && !readOnly.emplace(program).readOnly())
            GTEST_SKIP() << "no read-only bind mount here (needs root)";
        EXPECT_EQ(canWriteSettingsFile(programIni), !c.readOnly);

        ProgramState state;
        Settings_Load(state, program);
        EXPECT_EQ(state.settings.BgmRepeat, c.loadedRepeat);
        EXPECT_EQ(state.settings.BgmFolder, program); // the file chooser still starts beside the programs

        Settings changed = state.settings;
        changed.BgmRepeat = 7;
        EXPECT_TRUE(storeSettings(settingsPaths(program).write, changed));
        EXPECT_EQ(Ini_Read(kIniSection, kIniKeyBgmRepeat, c.readOnly ? userIni : programIni), "7");
        if (c.readOnly && !c.userIni) { // made by the first write, for the user alone
            EXPECT_EQ(std::filesystem::status(config + "/mirevo").permissions(),
                      std::filesystem::perms::owner_all);
        }
        Settings_Load(state, program);
        EXPECT_EQ(state.settings.BgmRepeat, 7); // the next run sees the choice
    }
}

} // namespace
} // namespace mirevo
