#include "common/posix/atomic_file.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/harness/temp_dir.h"

namespace mirevo::test {
namespace {

std::vector<std::string> entries(const TempDir& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.push_back(entry.path().filename().string());
    return names;
}

WriteResult write(const std::string& path, const std::string& text) {
    return writeFileAtomically(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(AtomicFile, ReplacesTheFilePrivatelyAndLeavesNothingElse) {
    TempDir folder;
    const std::string target = folder / "Tovik.bmp";
    for (const std::string& text : {std::string("first picture"), std::string("second"), std::string()}) {
        WriteResult result = write(target, text);
        ASSERT_TRUE(result) << result.reason().why;
        EXPECT_EQ(readFile(target), text);
        struct stat st {};
        ASSERT_EQ(lstat(target.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(entries(folder), std::vector<std::string>{"Tovik.bmp"});
    }
}

TEST(AtomicFile, NeverWritesThroughALink) {
    TempDir folder, elsewhere;
    const std::string victim = elsewhere / "victim";
    writeFile(victim, "precious");
    const std::string target = folder / "Tovik.bmp";
    ASSERT_EQ(symlink(victim.c_str(), target.c_str()), 0);

    ASSERT_TRUE(write(target, "picture"));
    EXPECT_EQ(readFile(victim), "precious");
    struct stat st {};
    ASSERT_EQ(lstat(target.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link is replaced by the file, not followed";
    EXPECT_EQ(readFile(target), "picture");
}

TEST(AtomicFile, FailureLeavesTheOldFileAndNoFreshOne) {
    struct Case {
        const char* name;
        std::string path; // under the folder
        bool folderInPlace;
        bool contentsFail;
    };
    const Case cases[] = {
        {"a folder in the file's place (works even for root)", "/Tovik.bmp", true, false},
        {"the contents give up halfway", "/Tovik.bmp", false, true},
        {"no such folder", "/no/such/folder/Tovik.bmp", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const std::string target = folder.path() + c.path;
        if (c.folderInPlace) {
            ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
        }
        if (c.contentsFail) writeFile(target, "old picture");
        WriteResult result = writeFileAtomically(target, [&](const ByteSink& sink) {
            const uint8_t half[] = {'n', 'e', 'w'};
            return sink(half, sizeof half) && !c.contentsFail;
        });
        ASSERT_FALSE(result);
        EXPECT_FALSE(result.reason().why.empty());
        if (c.contentsFail) {
            EXPECT_EQ(readFile(target), "old picture");
        }
        const auto left = entries(folder);
        EXPECT_EQ(left, c.path == "/Tovik.bmp" ? std::vector<std::string>{"Tovik.bmp"}
                                               : std::vector<std::string>{});
        if (c.folderInPlace) rmdir(target.c_str());
    }
    EXPECT_FALSE(write("", "picture"));
}

} // namespace
} // namespace mirevo::test
