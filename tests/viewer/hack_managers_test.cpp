// The hack under the real saver managers from Debian's packages, where they are installed: xscreensaver (run
// as an unprivileged user, as it refuses to run hacks as root) and mate-screensaver. Each is activated by
// its own command; the floor must appear, and deactivating must end every copy of the hack.
#include <gtest/gtest.h>

#include <chrono>
#include <dirent.h>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "tests/harness/child_process.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

using namespace mirevo::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kTolerance = 40;

bool installed(std::initializer_list<const char*> paths) {
    for (const char* path : paths)
        if (access(path, X_OK) != 0) return false;
    return true;
}

// Live processes of the hack started for this test's home, whatever path the manager ran it by.
int copiesOf(const std::string& home) {
    int count = 0;
    DIR* proc = opendir("/proc");
    if (!proc) return 0;
    while (dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        const std::string folder = std::string("/proc/") + entry->d_name;
        const std::string cmdline = readFile(folder + "/cmdline");
        const std::string program = cmdline.substr(0, cmdline.find('\0'));
        const std::string stat = readFile(folder + "/stat");
        const std::string environ = readFile(folder + "/environ");
        // A zombie has ended; its parent has merely not collected it yet.
        const size_t state = stat.rfind(')');
        const bool zombie = state == std::string::npos || stat.compare(state, 3, ") Z") == 0;
        const bool hack = program.size() >= 11 && program.compare(program.size() - 11, 11, "mirevo-hack") == 0;
        if (hack && !zombie && environ.find(std::string("HOME=") + home + '\0') != std::string::npos) ++count;
    }
    closedir(proc);
    return count;
}

// The wallpaper: the quadrant colours, named on the root window as desktops name it.
void setWallpaper(XClient& client) {
    Display* display = client.display();
    const int screen = DefaultScreen(display);
    Pixmap pixmap = XCreatePixmap(display, client.root(), kWidth, kHeight, DefaultDepth(display, screen));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    const unsigned long colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    for (int i = 0; i < 4; ++i) {
        XSetForeground(display, gc, colours[i]);
        XFillRectangle(display, pixmap, gc, (i % 2) * kWidth / 2, (i / 2) * kHeight / 2, kWidth / 2, kHeight / 2);
    }
    XFreeGC(display, gc);
    const unsigned long id = pixmap;
    XChangeProperty(display, client.root(), XInternAtom(display, "_XROOTPMAP_ID", False), XA_PIXMAP, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&id), 1);
    client.sync();
}

// The floor on the screen: a good share of it in the wallpaper's colours, the rest black.
bool floorOnScreen(XClient& client) {
    auto shot = client.screenshot(client.root());
    if (!shot) return false;
    int coloured = 0, black = 0, samples = 0;
    for (int y = 0; y < kHeight; y += 7)
        for (int x = 0; x < kWidth; x += 7, ++samples) {
            const auto c = shot->at(x, y);
            black += colourDistance(c, {0, 0, 0}) <= kTolerance;
            for (Rgb q : {Rgb{255, 0, 0}, Rgb{0, 255, 0}, Rgb{0, 0, 255}, Rgb{255, 255, 0}})
                coloured += colourDistance(c, q) <= kTolerance;
        }
    return coloured > samples / 10 && black > samples / 5;
}

// The hack where the manager's user may run it.
std::string placeHack(const TempDir& home) {
    const std::string hack = home / "mirevo-hack";
    fs::copy_file(builtProgram("mirevo-hack"), hack);
    fs::permissions(hack, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    return hack;
}

struct Result {
    std::optional<int> code;
    std::string output;
};

Result commandResult(std::vector<std::string> argv, const std::map<std::string, std::optional<std::string>>& env) {
    ChildProcess command(std::move(argv), env);
    return {command.waitExit(20s), command.output() + command.errors()};
}

} // namespace

TEST(HackUnderXscreensaver, ActivateShowsTheFloorAndDeactivateEndsEveryCopy) {
    if (!installed({"/usr/bin/xscreensaver", "/usr/bin/xscreensaver-command",
                    "/usr/libexec/xscreensaver/xscreensaver-gl-visual"}))
        GTEST_SKIP() << "xscreensaver is not installed (apt-get install xscreensaver xscreensaver-gl)";
    std::vector<std::string> asUser;
    uid_t uid = geteuid();
    gid_t gid = getegid();
    if (uid == 0) {
        // xscreensaver runs no hack as root: it runs here as nobody.
        const passwd* nobody = getpwnam("nobody");
        if (!nobody || access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "running as root without a user nobody and setpriv to run xscreensaver as";
        uid = nobody->pw_uid, gid = nobody->pw_gid;
        asUser = {"/usr/bin/setpriv", "--reuid=" + std::to_string(uid), "--regid=" + std::to_string(gid),
                  "--clear-groups"};
    }
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    setWallpaper(client);

    TempDir home;
    const std::string hack = placeHack(home);
    ASSERT_TRUE(writeFile(home / ".xscreensaver",
                          "mode:\tone\nselected:\t0\ntimeout:\t0:30:00\nlock:\tFalse\nsplash:\tFalse\n"
                          "fade:\tFalse\nunfade:\tFalse\nprograms:\t\\\n  GL: \t" +
                              hack + " --root \\n\n"));
    for (auto& entry : fs::recursive_directory_iterator(home.path()))
        ASSERT_EQ(lchown(entry.path().c_str(), uid, gid), 0);
    ASSERT_EQ(chown(home.path().c_str(), uid, gid), 0);

    const std::map<std::string, std::optional<std::string>> env{
        {"DISPLAY", server.display()}, {"HOME", home.path()},       {"XDG_RUNTIME_DIR", std::nullopt},
        {"XDG_CONFIG_HOME", std::nullopt}, {"XDG_CACHE_HOME", std::nullopt}, {"MIREVO_VIEWER_TRACE", "1"},
        {"LIBGL_ALWAYS_SOFTWARE", "1"}};
    std::vector<std::string> daemon = asUser;
    daemon.insert(daemon.end(), {"/usr/bin/xscreensaver", "-no-splash"});
    ChildProcess xscreensaver(daemon, env);
    ASSERT_TRUE(pollUntil(30s, [&] {
        return commandResult({"/usr/bin/xscreensaver-command", "-activate"}, env).code == 0 ||
               !xscreensaver.running();
    })) << xscreensaver.errors();
    ASSERT_TRUE(pollUntil(60s, [&] {
        return xscreensaver.errors().find("mirevo-trace first-frame") != std::string::npos ||
               !xscreensaver.running();
    })) << xscreensaver.errors();
    EXPECT_TRUE(pollUntil(20s, [&] { return floorOnScreen(client); })) << xscreensaver.errors();
    EXPECT_GE(copiesOf(home.path()), 1);

    EXPECT_EQ(commandResult({"/usr/bin/xscreensaver-command", "-deactivate"}, env).code, 0);
    EXPECT_TRUE(pollUntil(10s, [&] { return copiesOf(home.path()) == 0; })) << xscreensaver.errors();
    xscreensaver.terminate();
}

TEST(HackUnderMateScreensaver, ActivateShowsTheFloorAndDeactivateEndsEveryCopy) {
    if (!installed({"/usr/bin/mate-screensaver", "/usr/bin/mate-screensaver-command"}))
        GTEST_SKIP() << "mate-screensaver is not installed (apt-get install mate-screensaver)";
    DBusSession bus;
    ASSERT_TRUE(bus.ok());
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    XClient client(server.display());
    ASSERT_TRUE(client.ok());
    setWallpaper(client);

    // mate-screensaver runs hacks only from its own folders and xscreensaver's: the test's hack appears in
    // xscreensaver's through a bind mount seen by the daemon alone.
    if (geteuid() != 0 || access("/usr/bin/unshare", X_OK) != 0)
        GTEST_SKIP() << "needs root and unshare to show the hack in /usr/libexec/xscreensaver to mate-screensaver";
    TempDir home;
    const std::string hack = placeHack(home);
    fs::create_directories(home / "hacks");
    fs::rename(hack, home / "hacks/mirevo-hack");
    // The entry as installed, and the choice of it in the settings.
    fs::create_directories(home / "share/applications/screensavers");
    fs::copy_file(MIREVO_SOURCE_DIR "/packaging/mirevo-hack.desktop",
                  home / "share/applications/screensavers/mirevo-hack.desktop");
    fs::create_directories(home / "config/glib-2.0/settings");
    ASSERT_TRUE(writeFile(home / "config/glib-2.0/settings/keyfile",
                          "[org/mate/screensaver]\nmode='single'\nthemes=['screensavers-mirevo-hack']\n"
                          "lock-enabled=false\nidle-activation-enabled=false\n"));
    const std::map<std::string, std::optional<std::string>> env{
        {"DISPLAY", server.display()},
        {"HOME", home.path()},
        {"XDG_RUNTIME_DIR", home.path()},
        {"XDG_CONFIG_HOME", home / "config"},
        {"XDG_DATA_HOME", home / "data"},
        {"XDG_DATA_DIRS", home / "share" + ":/usr/local/share:/usr/share"},
        {"GSETTINGS_BACKEND", "keyfile"},
        {"DBUS_SESSION_BUS_ADDRESS", bus.address()},
        {"XDG_CURRENT_DESKTOP", "MATE"},
        {"MIREVO_VIEWER_TRACE", "1"},
        {"LIBGL_ALWAYS_SOFTWARE", "1"}};
    ChildProcess mate({"/usr/bin/unshare", "--mount", "--propagation", "private", "/bin/sh", "-c",
                       "mount --bind \"$0\" /usr/libexec/xscreensaver && exec /usr/bin/mate-screensaver --no-daemon --debug",
                       home / "hacks"},
                      env);
    ASSERT_TRUE(pollUntil(30s, [&] {
        return commandResult({"/usr/bin/mate-screensaver-command", "--activate"}, env).code == 0 ||
               !mate.running();
    })) << mate.errors();
    // The daemon passes the hack only the environment it chooses (no trace): the screen tells.
    EXPECT_TRUE(pollUntil(60s, [&] { return floorOnScreen(client) || !mate.running(); }) && mate.running())
        << mate.output() << mate.errors();
    EXPECT_GE(copiesOf(home.path()), 1);

    EXPECT_EQ(commandResult({"/usr/bin/mate-screensaver-command", "--deactivate"}, env).code, 0);
    EXPECT_TRUE(pollUntil(10s, [&] { return copiesOf(home.path()) == 0; })) << mate.errors();
    mate.terminate();
}
