// OK's store stopped partway by the system: a full disk, a file size limit.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shared/settings_file/settings_store.h"
#include "shared/settings_file/tovik_b.h"
#include "tests/harness/temp_dir.h"

namespace mirevo {
namespace {

using test::TempDir;

// The files a folder holds, by name.
std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// Runs its action when it goes: the end of a fault.
struct AtEnd {
    std::function<void()> action;
    ~AtEnd() {
        if (action) action();
    }
};

// Fills the disk that holds folder up to `room` bytes before full.
bool fillUpTo(const std::string& folder, off_t room) {
    const std::string filler = folder + "/filler";
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const std::string block(4096, 'f');
    off_t written = 0;
    for (ssize_t n = 0; (n = ::write(fd, block.data(), block.size())) > 0;)
        written += n;
    const bool ok = written > room && ::ftruncate(fd, written - room) == 0;
    ::close(fd);
    return ok;
}

// The new file would be written in full past 4 KiB: the fault stops it after its first 4 KiB. The settings
// file keeps its old bytes, no half-written file is left beside it, and the user is told.
TEST(SettingsStore, AStoreStoppedPartwayLeavesTheOldFileWholeAndNothingBesideIt) {
    std::string before = "[Section]\nBGM区分=1\nBGMﾘﾋﾟｰﾄ=3\n\n[Other]\n";
    for (int line = 0; before.size() < 8000; ++line)
        before += "key" + std::to_string(line) + "=" + std::string(60, 'v') + "\n";
    Settings chosen;
    chosen.BgmKind = 2;
    chosen.BgmFile = "/music/new.mp3";

    TempDir home;
    ASSERT_FALSE(home.path().empty());
    // A small disk of its own where one can be mounted.
    const std::string disk = home / "disk";
    ASSERT_EQ(::mkdir(disk.c_str(), 0700), 0);
    const bool mounted = ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k,mode=0700") == 0;
    std::unique_ptr<const char, void (*)(const char*)> unmount(
        mounted ? disk.c_str() : nullptr, [](const char* folder) { ::umount2(folder, MNT_DETACH); });
    struct Fault {
        const char* name;
        // Sets the fault up and gives what ends it; nothing when it cannot be had here.
        std::function<std::unique_ptr<AtEnd>()> plant;
    };
    const Fault faults[] = {
        {"a file size limit",
         [] {
             rlimit saved{};
             getrlimit(RLIMIT_FSIZE, &saved);
             rlimit lower = saved;
             lower.rlim_cur = 4096;
             // Ignored, the signal leaves the write failing with EFBIG.
             const auto handler = std::signal(SIGXFSZ, SIG_IGN);
             setrlimit(RLIMIT_FSIZE, &lower);
             auto end = std::make_unique<AtEnd>();
             end->action = [saved, handler] {
                 setrlimit(RLIMIT_FSIZE, &saved);
                 std::signal(SIGXFSZ, handler);
             };
             return end;
         }},
        {"a full disk",
         [&]() -> std::unique_ptr<AtEnd> {
             if (!mounted || !fillUpTo(disk, 4096)) return nullptr;
             auto end = std::make_unique<AtEnd>();
             end->action = [&] { std::filesystem::remove(disk + "/filler"); };
             return end;
         }},
    };
    bool skipped = false;
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        const std::string path = disk + "/Mirevo.ini";
        ASSERT_TRUE(test::writeFile(path, before));
        std::optional<StoreResult> outcome;
        {
            const std::unique_ptr<AtEnd> planted = fault.plant();
            if (!planted) {
                skipped = true;
                continue;
            }
            const std::set<std::string> files = namesIn(disk);
            outcome.emplace(storeSettings(path, chosen));
            EXPECT_EQ(test::readFile(path), before);
            EXPECT_EQ(namesIn(disk), files);
        }
        ASSERT_TRUE(outcome && !*outcome);
        EXPECT_EQ(outcome->reason().kind, StoreFailureKind::CannotWrite);
        EXPECT_NE(storeFailureMessage(outcome->reason()).find("書き込めません"), std::string::npos);
        // Without the fault the same store goes through.
        EXPECT_TRUE(storeSettings(path, chosen).ok());
        EXPECT_EQ(Ini_Read(kIniSection, kIniKeyBgmFile, path), "/music/new.mp3");
    }
    if (skipped) GTEST_SKIP() << "no tmpfs can be mounted here: the full disk was not tried";
}

} // namespace
} // namespace mirevo
