// mirevo-hack --install-xscreensaver / --uninstall-xscreensaver as a user runs them, on a ~/.xscreensaver in
// a private home folder: what they do to the file (its bytes, mode and owner), what they say, and that no
// file in the way (read-only, a FIFO, a link to /dev/zero) hangs them or is replaced.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/harness/child_process.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"

using namespace mirevo::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const std::string kViewer = builtProgram("mirevo-hack");

const std::string kUserFile = "# XScreenSaver Preferences File\n"
                              "timeout:\t\t0:10:00\n"
                              "programs:\t\t\t\t\t\t\t\t      \\\n"
                              "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
                              "  GL: \t\t\t\tendgame -root\t\t\t\t    \\n\n"
                              "\n"
                              "pointerHysteresis:\t10\n";

struct Outcome {
    std::optional<int> code;
    std::string output;
};

// The command with HOME set to home; a runaway read is stopped by a 1 GiB data limit rather than the machine.
Outcome runCommand(const TempDir& home, const char* option) {
    ChildProcess command({"/bin/sh", "-c", "ulimit -d 1048576; exec \"$0\" \"$1\"", kViewer, option},
                         {{"HOME", home.path()}, {"DISPLAY", std::nullopt}, {"XSCREENSAVER_WINDOW", std::nullopt}});
    Outcome run{command.waitExit(20s), command.output() + command.errors()};
    return run;
}

struct stat statOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info;
}

int lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The text without the line that runs Mirevo.
std::string withoutMirevo(const std::string& text) {
    const size_t at = text.find("\"Mirevo\"");
    if (at == std::string::npos) return text;
    const size_t begin = text.rfind('\n', at) + 1, end = text.find('\n', at);
    return text.substr(0, begin) + text.substr(end + 1);
}

} // namespace

TEST(XscreensaverCommands, InstallAndUninstallKeepTheFilesOtherBytesModeAndOwner) {
    struct Case {
        const char* what;
        bool link; // a managed dotfile: ~/.xscreensaver links to the file that is edited
    };
    for (const Case& c : {Case{"a file", false}, Case{"a link to a file", true}}) {
        SCOPED_TRACE(c.what);
        TempDir home;
        const std::string file = c.link ? home / "dotfiles/xscreensaver" : home / ".xscreensaver";
        ASSERT_TRUE(writeFile(file, kUserFile));
        if (c.link) {
            ASSERT_EQ(::symlink(file.c_str(), (home / ".xscreensaver").c_str()), 0);
        }
        ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
        // Root edits a file of someone else's as that user's file.
        const uid_t owner = geteuid() == 0 ? 65534 : geteuid();
        ASSERT_EQ(::chown(file.c_str(), owner, static_cast<gid_t>(-1)), 0);
        const auto unchanged = [&] {
            const struct stat info = statOf(file);
            EXPECT_EQ(info.st_mode & 07777, 0640u);
            EXPECT_EQ(info.st_uid, owner);
            struct stat link {};
            EXPECT_EQ(::lstat((home / ".xscreensaver").c_str(), &link), 0);
            EXPECT_EQ(S_ISLNK(link.st_mode), c.link);
        };

        Outcome installed = runCommand(home, "--install-xscreensaver");
        EXPECT_EQ(installed.code, 0) << installed.output;
        EXPECT_EQ(lines(installed.output), 1) << installed.output;
        EXPECT_NE(installed.output.find("Mirevo added to the programs list"), std::string::npos) << installed.output;
        const std::string withHack = readFile(file);
        EXPECT_NE(withHack.find("\"Mirevo\" " + kViewer + " --root"), std::string::npos) << withHack;
        EXPECT_EQ(withoutMirevo(withHack), kUserFile);
        unchanged();

        Outcome again = runCommand(home, "--install-xscreensaver");
        EXPECT_EQ(again.code, 0);
        EXPECT_NE(again.output.find("already in the programs list"), std::string::npos) << again.output;
        EXPECT_EQ(readFile(file), withHack);

        Outcome removed = runCommand(home, "--uninstall-xscreensaver");
        EXPECT_EQ(removed.code, 0) << removed.output;
        EXPECT_NE(removed.output.find("taken out of the programs list"), std::string::npos) << removed.output;
        EXPECT_EQ(readFile(file), kUserFile);
        unchanged();

        Outcome removedAgain = runCommand(home, "--uninstall-xscreensaver");
        EXPECT_EQ(removedAgain.code, 0);
        EXPECT_NE(removedAgain.output.find("is not in the programs list"), std::string::npos) << removedAgain.output;
        EXPECT_EQ(readFile(file), kUserFile);
    }
}

TEST(XscreensaverCommands, AReadOnlyFileIsLeftAsItIsAndTheCommandSaysSo) {
    TempDir home;
    const std::string file = home / ".xscreensaver";
    ASSERT_TRUE(writeFile(file, kUserFile));
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    const ino_t inode = statOf(file).st_ino;

    Outcome run = runCommand(home, "--install-xscreensaver");
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(lines(run.output), 1) << run.output;
    EXPECT_NE(run.output.find("read-only"), std::string::npos) << run.output;
    EXPECT_EQ(readFile(file), kUserFile);
    EXPECT_EQ(statOf(file).st_mode & 07777, 0444u);
    EXPECT_EQ(statOf(file).st_ino, inode) << "the file was replaced";
}

TEST(XscreensaverCommands, AFifoOrALinkToDevZeroCountsAsNoFileWithOneLine) {
    struct Case {
        const char* what;
        bool fifo;
    };
    for (const Case& c : {Case{"a FIFO", true}, Case{"a link to /dev/zero", false}}) {
        SCOPED_TRACE(c.what);
        TempDir home;
        const std::string file = home / ".xscreensaver";
        if (c.fifo)
            ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
        else
            ASSERT_EQ(::symlink("/dev/zero", file.c_str()), 0);
        // Installing needs a file to edit; taking out of no file has nothing to do.
        for (auto [option, code] : {std::pair{"--install-xscreensaver", 1}, std::pair{"--uninstall-xscreensaver", 0}}) {
            SCOPED_TRACE(option);
            Outcome run = runCommand(home, option);
            EXPECT_EQ(run.code, code) << run.output;
            EXPECT_EQ(lines(run.output), 1) << run.output;
            EXPECT_NE(run.output.find("not a regular file"), std::string::npos) << run.output;
        }
        struct stat info {};
        ASSERT_EQ(::lstat(file.c_str(), &info), 0);
        EXPECT_EQ(c.fifo ? S_ISFIFO(info.st_mode) : S_ISLNK(info.st_mode), true) << "it was replaced";
    }
}
