// Where the desktop picture may be kept: only in folders no other user can read or plant links in.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "common/snapshot_path.h"
#include "tests/harness/scoped_env.h"
#include "tests/harness/temp_dir.h"

namespace fs = std::filesystem;

namespace {

using mirevo::test::ScopedEnv;
using mirevo::test::TempDir;

class SnapshotPath : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder_.path().empty()); }
    std::string dir(const std::string& name, mode_t mode) {
        std::string path = top_ + "/" + name;
        fs::create_directories(path);
        chmod(path.c_str(), mode);
        return path;
    }
    static mode_t modeOf(const std::string& path) {
        struct stat st {};
        lstat(path.c_str(), &st);
        return st.st_mode & 07777;
    }
    TempDir folder_;
    const std::string top_ = folder_.path();
};

TEST_F(SnapshotPath, PrivateRuntimeFolderIsUsedAsItIs) {
    std::string runtime = dir("run", 0700);
    ScopedEnv r("XDG_RUNTIME_DIR", runtime + "/");
    EXPECT_EQ(mirevo::snapshotPath(false), runtime + "/Tovik.bmp");
    EXPECT_EQ(mirevo::snapshotPath(true), runtime + "/Tovik.bmp");
}

TEST_F(SnapshotPath, UnsafeRuntimeFoldersFallBackToThePrivateCacheFolder) {
    std::string cache = top_ + "/cache";
    ScopedEnv c("XDG_CACHE_HOME", cache);
    std::string readOnly = dir("read-only", 0500); // ours and private, but nothing can be written there
    std::string groupWritable = dir("group", 0770);
    std::string worldWritable = dir("world", 01777);
    std::string target = dir("target", 0700);
    std::string link = top_ + "/link";
    fs::create_directory_symlink(target, link);

    for (std::optional<std::string> runtime :
         {std::optional<std::string>(readOnly), std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("run"), std::optional<std::string>(groupWritable),
          std::optional<std::string>(worldWritable), std::optional<std::string>(link),
          std::optional<std::string>(top_ + "/missing")}) {
        ScopedEnv r("XDG_RUNTIME_DIR", runtime);
        SCOPED_TRACE(runtime.value_or("(unset)"));
        EXPECT_EQ(mirevo::snapshotPath(true), cache + "/mirevo/Tovik.bmp");
    }
    EXPECT_EQ(modeOf(cache + "/mirevo"), 0700u);
}

TEST_F(SnapshotPath, ReadingCreatesNothingAndACacheFolderOthersCanWriteIsRefused) {
    ScopedEnv r("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv c("XDG_CACHE_HOME", top_ + "/cache");
    EXPECT_EQ(mirevo::snapshotPath(false), "");
    EXPECT_FALSE(fs::exists(top_ + "/cache"));

    dir("cache/mirevo", 0777);
    EXPECT_EQ(mirevo::snapshotPath(true), "") << "a folder others can write to is not ours";

    fs::remove_all(top_ + "/cache");
    fs::create_directories(top_ + "/cache");
    fs::create_directory_symlink(dir("elsewhere", 0700), top_ + "/cache/mirevo");
    EXPECT_EQ(mirevo::snapshotPath(true), "") << "a planted link is never followed";
}

TEST_F(SnapshotPath, CacheHomeDefaultsToDotCacheUnderHomeAndMustBeAbsolute) {
    ScopedEnv r("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv h("HOME", top_ + "/home");
    ScopedEnv c("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(mirevo::snapshotPath(true), top_ + "/home/.cache/mirevo/Tovik.bmp");
}

} // namespace
