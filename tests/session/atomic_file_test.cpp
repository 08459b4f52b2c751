#include "saver/session/atomic_file.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirevo::test {
namespace {

class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/mirevo-atomic-XXXXXX";
        path_ = mkdtemp(name);
    }
    ~TempFolder() {
        chmod(path_.c_str(), 0700);
        for (const std::string& entry : entries()) unlink((path_ + "/" + entry).c_str());
        rmdir(path_.c_str());
    }
    const std::string& path() const { return path_; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        if (DIR* dir = opendir(path_.c_str())) {
            while (dirent* e = readdir(dir))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
            closedir(dir);
        }
        return names;
    }

private:
    std::string path_;
};

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

WriteResult write(const std::string& path, const std::string& text) {
    return writeFileAtomically(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(AtomicFile, ReplacesTheFilePrivatelyAndLeavesNothingElse) {
    TempFolder folder;
    const std::string target = folder.path() + "/Tovik.bmp";
    for (const std::string& text : {std::string("first picture"), std::string("second"), std::string()}) {
        WriteResult result = write(target, text);
        ASSERT_TRUE(result.ok) << result.reason;
        EXPECT_EQ(contents(target), text);
        struct stat st {};
        ASSERT_EQ(lstat(target.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"Tovik.bmp"});
    }
}

TEST(AtomicFile, NeverWritesThroughALink) {
    TempFolder folder, elsewhere;
    const std::string victim = elsewhere.path() + "/victim";
    put(victim, "precious");
    const std::string target = folder.path() + "/Tovik.bmp";
    ASSERT_EQ(symlink(victim.c_str(), target.c_str()), 0);

    ASSERT_TRUE(write(target, "picture").ok);
    EXPECT_EQ(contents(victim), "precious");
    struct stat st {};
    ASSERT_EQ(lstat(target.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link is replaced by the file, not followed";
    EXPECT_EQ(contents(target), "picture");
}

TEST(AtomicFile, FailedRenameRemovesTheFreshFile) {
    // A folder in the file's place cannot be replaced (this works even for root, unlike a read-only folder).
    TempFolder folder;
    const std::string target = folder.path() + "/Tovik.bmp";
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    WriteResult result = write(target, "new picture");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.reason.find("Tovik.bmp"), std::string::npos) << result.reason;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"Tovik.bmp"});
    rmdir(target.c_str());
}

TEST(AtomicFile, ContentsThatFailLeaveTheOldFile) {
    TempFolder folder;
    const std::string target = folder.path() + "/Tovik.bmp";
    put(target, "old picture");
    WriteResult result = writeFileAtomically(target, [](const ByteSink& sink) {
        const uint8_t half[] = {'n', 'e', 'w'};
        return sink(half, sizeof half) && false;
    });
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(contents(target), "old picture");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"Tovik.bmp"});
}

TEST(AtomicFile, MissingFolderOrNameFails) {
    TempFolder folder;
    for (const std::string& path : {folder.path() + "/no/such/folder/Tovik.bmp", std::string()}) {
        WriteResult result = write(path, "picture");
        EXPECT_FALSE(result.ok) << path;
        EXPECT_FALSE(result.reason.empty()) << path;
    }
    EXPECT_TRUE(folder.entries().empty());
}

} // namespace
} // namespace mirevo::test
