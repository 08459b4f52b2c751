// Mirevo installed the ways a user gets it: `cmake --install` into a private DESTDIR, and the Debian package
// made by CPack and unpacked with dpkg -x (never installed on this machine). Both use the finished build.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/settings_link.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

namespace mirevo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Below the prefix.
// clang-format off
const std::vector<std::string> kInstalled{
    "bin/mirevo", "lib/mirevo/Mirevo.scr", "lib/mirevo/Mirevo.dll",
    "share/applications/io.github.mirevo.Mirevo.desktop",
    "share/metainfo/io.github.mirevo.Mirevo.metainfo.xml",
    "share/man/man1/mirevo.1.gz", "share/doc/mirevo/README.md", "share/doc/mirevo/LICENSE",
    "share/doc/mirevo/copyright", "share/doc/mirevo/changelog.Debian.gz",
    "share/icons/hicolor/32x32/apps/io.github.mirevo.Mirevo.png",
    "share/icons/hicolor/64x64/apps/io.github.mirevo.Mirevo.png",
    "share/icons/hicolor/128x128/apps/io.github.mirevo.Mirevo.png",
    "share/icons/hicolor/256x256/apps/io.github.mirevo.Mirevo.png",
    "bin/mirevo-idle", "share/man/man1/mirevo-idle.1.gz", "share/dbus-1/interfaces/io.github.mirevo.Idle.xml",
    // the hack and its music module beside the programs, its link and entries for xscreensaver and for mate-
    // and xfce4-screensaver
    "lib/mirevo/mirevo-hack", "lib/mirevo/modules/mirevo-music.so", "libexec/xscreensaver/mirevo-hack",
    "share/xscreensaver/config/mirevo-hack.xml",
    "share/applications/screensavers/mirevo-hack.desktop",
    "share/applications/screensavers/mirevo-hack-30fps.desktop",
    // the saver's hidden entry, which KWin's screenshot service asks for
    "share/applications/io.github.mirevo.Mirevo.Saver.desktop"};
// clang-format on

struct Result {
    std::optional<int> code;
    std::string output;
};

Result run(std::vector<std::string> argv, std::map<std::string, std::optional<std::string>> env = {}) {
    ChildProcess process(std::move(argv), std::move(env));
    return {process.waitExit(120s), process.output() + process.errors()};
}

// The installed command as a desktop starts it: the session photographs the screen, starts the viewer
// from the program folder behind the link, and ends on Escape.
void expectSessionRuns(const std::string& command) {
    Xvfb server(800, 600);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    TempDir home;
    ChildProcess saver({command, "/s"}, {{"DISPLAY", server.display()},
                                         {"HOME", home.path()},
                                         {"XDG_RUNTIME_DIR", home.path()},
                                         {"XDG_CONFIG_HOME", home / "config"},
                                         {"XDG_CACHE_HOME", home / "cache"}});
    const unsigned long viewer = client.waitForWindow("Tovik_VC", 30s);
    ASSERT_NE(viewer, 0u) << saver.errors();
    EXPECT_TRUE(fs::is_regular_file(home / "Tovik.bmp"));
    ASSERT_TRUE(pollUntil(10s, [&] { return client.mapped(viewer); }));
    client.focus(viewer);
    client.sendKey("Escape");
    EXPECT_EQ(saver.waitExit(10s), std::optional<int>(0)) << saver.errors();
}

TEST(Install, LaysOutACommandAMenuEntryAndAManualThatWork) {
    TempDir destdir;
    const Result install =
        run({CMAKE_COMMAND, "--install", MIREVO_BUILD_DIR, "--prefix", "/usr", "--component", "mirevo"},
            {{"DESTDIR", destdir.path()}});
    ASSERT_EQ(install.code, 0) << install.output;
    const std::string usr = destdir / "usr";
    for (const auto& file : kInstalled)
        EXPECT_TRUE(fs::exists(usr + "/" + file)) << file;
    EXPECT_EQ(fs::read_symlink(usr + "/bin/mirevo"), "../lib/mirevo/Mirevo.scr");
    EXPECT_EQ(fs::read_symlink(usr + "/libexec/xscreensaver/mirevo-hack"), "../../lib/mirevo/mirevo-hack");
    for (const char* entry : {"mirevo-hack.desktop", "mirevo-hack-30fps.desktop"}) {
        const Result hackDesktop = run({"/usr/bin/desktop-file-validate", usr + "/share/applications/screensavers/" + entry});
        EXPECT_EQ(hackDesktop.code, 0) << entry << ": " << hackDesktop.output;
    }
    const std::string hackConfig = readFile(usr + "/share/xscreensaver/config/mirevo-hack.xml");
    EXPECT_NE(hackConfig.find("<screensaver name=\"mirevo-hack\" _label=\"Mirevo\" gl=\"yes\">"), std::string::npos);
    const Result xml = run({"/usr/bin/xmllint", "--noout", usr + "/share/xscreensaver/config/mirevo-hack.xml"});
    EXPECT_EQ(xml.code, 0) << xml.output;

    const std::string saverEntry = usr + "/share/applications/io.github.mirevo.Mirevo.Saver.desktop";
    const Result saverDesktop = run({"/usr/bin/desktop-file-validate", saverEntry});
    EXPECT_EQ(saverDesktop.code, 0) << saverDesktop.output;
    EXPECT_NE(readFile(saverEntry).find("\nExec=/usr/lib/mirevo/Mirevo.scr /s\n"), std::string::npos);
    EXPECT_NE(readFile(saverEntry).find("\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n"),
              std::string::npos);

    const Result desktop = run({"/usr/bin/desktop-file-validate", usr + "/" + kInstalled[3]});
    EXPECT_EQ(desktop.code, 0) << desktop.output;
    EXPECT_EQ(desktop.output, "");
    const Result metainfo = run({"/usr/bin/appstreamcli", "validate", "--no-net", usr + "/" + kInstalled[4]});
    EXPECT_EQ(metainfo.code, 0) << metainfo.output;
    const Result manual = run({"/usr/bin/man", "--warnings", "-l", usr + "/" + kInstalled[5]});
    EXPECT_TRUE(manual.output.find("MIREVO_CD_DEVICE") != std::string::npos &&
                manual.output.find("warning") == std::string::npos)
        << manual.output;

    expectSessionRuns(usr + "/bin/mirevo");
    // The link names the README installed under the prefix, wherever the tree was put.
    const LinkResult link = addressTheLinkOpens(usr + "/bin/mirevo");
    ASSERT_EQ(link.failure, "");
    EXPECT_EQ(link.address, "file://" + fs::canonical(usr + "/share/doc/mirevo/README.md").string());
}

// The package CPack makes from this build, once for the tests that look at it.
class DebianPackage : public testing::Test {
protected:
    static void SetUpTestSuite() {
        work_ = std::make_unique<TempDir>();
        // CPack rewrites the build folder's record of the last real install; put it back as it was.
        const std::string manifest = MIREVO_BUILD_DIR "/install_manifest.txt", lastInstall = readFile(manifest);
        const bool hadManifest = fs::exists(manifest);
        const Result cpack = run({CPACK_COMMAND, "--config", MIREVO_BUILD_DIR "/CPackConfig.cmake", "-G", "DEB",
                                  "-B", work_->path()});
        if (hadManifest)
            writeFile(manifest, lastInstall);
        else
            fs::remove(manifest);
        packOutput_ = std::to_string(cpack.code.value_or(-1)) + "\n" + cpack.output;
    }
    static void TearDownTestSuite() { work_.reset(); }
    void SetUp() override { ASSERT_TRUE(fs::exists(deb())) << packOutput_; }
    static std::string deb() { return *work_ / "mirevo_" MIREVO_DEB_VERSION "_amd64.deb"; }
    static const TempDir& work() { return *work_; }

private:
    static inline std::unique_ptr<TempDir> work_;
    static inline std::string packOutput_;
};

TEST_F(DebianPackage, HoldsTheTreeNamesItsDependenciesAndRunsUnpacked) {
    const std::string deb = DebianPackage::deb();
    const Result fields =
        run({"/usr/bin/dpkg-deb", "-f", deb, "Package", "Version", "Section", "Depends", "Recommends"});
    EXPECT_NE(fields.output.find("Package: mirevo\nVersion: " MIREVO_DEB_VERSION "\nSection: x11\n"),
              std::string::npos)
        << fields.output;
    EXPECT_NE(fields.output.find("Recommends: qt6-translations-l10n"), std::string::npos) << fields.output;
    // Named by hand, and found by dpkg-shlibdeps from what the programs link.
    for (const char* dependency :
         {"fonts-ipafont-gothic", "libgl1-mesa-dri", "libqt6widgets6", "libsdl2-2.0-0", "libcdio19", "libc6"})
        EXPECT_NE(fields.output.find(dependency), std::string::npos) << dependency << "\n" << fields.output;

    const Result contents = run({"/usr/bin/dpkg-deb", "-c", deb});
    for (const auto& file : kInstalled)
        EXPECT_NE(contents.output.find(" ./usr/" + file), std::string::npos) << file;
    EXPECT_NE(contents.output.find("./usr/bin/mirevo -> ../lib/mirevo/Mirevo.scr"), std::string::npos);
    EXPECT_NE(contents.output.find("./usr/libexec/xscreensaver/mirevo-hack -> ../../lib/mirevo/mirevo-hack"),
              std::string::npos);

    const Result unpack = run({"/usr/bin/dpkg", "-x", deb, work() / "root"});
    ASSERT_EQ(unpack.code, 0) << unpack.output;
    expectSessionRuns(work() / "root/usr/bin/mirevo");
    // The link names the packaged README, found from where the programs are.
    const LinkResult link = addressTheLinkOpens(work() / "root/usr/bin/mirevo");
    ASSERT_EQ(link.failure, "");
    EXPECT_EQ(link.address, "file://" + fs::canonical(work() / "root/usr/share/doc/mirevo/README.md").string());
}

TEST_F(DebianPackage, LintianFindsNothingToReport) {
    if (!fs::exists("/usr/bin/lintian")) GTEST_SKIP() << "lintian is not installed (scripts/packages.txt)";
    // Errors, warnings and notes alike; only lintian's own remark about running as root is let through.
    const Result lintian = run({"/usr/bin/lintian", "--display-info", deb()});
    EXPECT_EQ(lintian.code, 0) << lintian.output;
    std::string findings;
    std::istringstream lines(lintian.output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0 || line.rfind("I: ", 0) == 0)
            findings += line + "\n";
    EXPECT_EQ(findings, "");
}

} // namespace
} // namespace mirevo::test
