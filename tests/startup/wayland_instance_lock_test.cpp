// One saver at a time on each Wayland display: the lock per compositor, and a lock path the user left in a
// state no lock can be taken on (a link, a folder, a dangling link).
#include "saver/wayland_instance_lock.h"

#include <filesystem>
#include <functional>
#include <memory>

#include <gtest/gtest.h>
#include <unistd.h>

#include "saver/wayland_saver_desktop.h"
#include "tests/harness/scoped_env.h"
#include "tests/harness/temp_dir.h"

namespace mirevo::test {
namespace {

namespace fs = std::filesystem;

struct Folders {
    TempDir runtime, home;
    ScopedEnv runtimeEnv{"XDG_RUNTIME_DIR", runtime.path()};
    ScopedEnv homeEnv{"HOME", home.path()};
    ScopedEnv cacheEnv{"XDG_CACHE_HOME", std::nullopt};
};

// Savers on two compositors run side by side; on one, only the first.
TEST(WaylandInstanceLock, IsOnePerCompositor) {
    Folders folders;
    ProgramState state;
    const auto startOn = [&state](const std::string& display) {
        ScopedEnv wayland("WAYLAND_DISPLAY", display);
        auto desktop = std::make_unique<WaylandSaverDesktop>(state);
        const bool taken = desktop->takeInstanceLock();
        return std::make_pair(taken, std::move(desktop));
    };
    auto first = startOn("wayland-1");
    auto other = startOn("wayland-2");
    auto elsewhere = startOn("/run/other/wayland-1"); // a socket by its path is another compositor
    auto again = startOn("wayland-1");
    EXPECT_TRUE(first.first);
    EXPECT_TRUE(other.first);
    EXPECT_TRUE(elsewhere.first);
    EXPECT_FALSE(again.first);
    EXPECT_NE(waylandLockFileName("wayland-1"), waylandLockFileName("wayland-2"));
}

struct Planted {
    const char* what;
    std::function<void(const std::string& path, const std::string& folder)> plant;
    const char* said;
};
void PrintTo(const Planted& planted, std::ostream* out) {
    *out << planted.what;
}

class LockPathInTheWay : public ::testing::TestWithParam<Planted> {};

// The runtime folder's lock path is in a state no lock can be taken on: the cache folder's lock keeps one saver
// at a time instead, said in one line; where that cannot be had either, no saver starts, with one line.
TEST_P(LockPathInTheWay, StillLetsOneSaverRunAndSaysSo) {
    Folders folders;
    ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-7");
    const std::string path = folders.runtime / waylandLockFileName("wayland-7");
    GetParam().plant(path, folders.runtime.path());
    std::vector<std::string> said;
    const auto say = [&](const std::string& line) { said.push_back(line); };
    FileLock first = takeWaylandInstanceLock(say);
    FileLock second = takeWaylandInstanceLock(say);
    EXPECT_EQ(first.state(), FileLockState::Taken) << GetParam().what;
    EXPECT_EQ(second.state(), FileLockState::HeldElsewhere) << GetParam().what;
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find(GetParam().said), std::string::npos) << said[0];
    EXPECT_NE(said[0].find(".cache/mirevo/mirevo-wayland-7.lock"), std::string::npos) << said[0];
    EXPECT_EQ(said[0].find('\n'), std::string::npos);

    // Both places in the way: no saver at all, and why.
    said.clear();
    fs::create_directory(folders.home / ".cache/mirevo/mirevo-wayland-9.lock");
    ScopedEnv nine("WAYLAND_DISPLAY", "wayland-9");
    GetParam().plant(folders.runtime / waylandLockFileName("wayland-9"), folders.runtime.path());
    EXPECT_EQ(takeWaylandInstanceLock(say).state(), FileLockState::Unavailable);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("so none starts"), std::string::npos) << said[0];
}

INSTANTIATE_TEST_SUITE_P(
    Table, LockPathInTheWay,
    ::testing::Values(Planted{"a link to a file",
                              [](const std::string& path, const std::string& folder) {
                                  writeFile(folder + "/target", "");
                                  fs::create_symlink(folder + "/target", path);
                              },
                              "is a symbolic link"},
                      Planted{"a dangling link",
                              [](const std::string& path, const std::string& folder) {
                                  fs::create_symlink(folder + "/nothing-here", path);
                              },
                              "is a symbolic link to nothing"},
                      Planted{"a folder", [](const std::string& path, const std::string&) { fs::create_directory(path); },
                              "is a folder"}));

} // namespace
} // namespace mirevo::test
