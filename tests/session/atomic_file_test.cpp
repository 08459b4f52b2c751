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

TEST(AtomicFile, FailureLeavesTheOldFileAndNoFreshOne) {
    struct Case {
        const char* name;
        std::string path;  // under the folder
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
        TempFolder folder;
        const std::string target = folder.path() + c.path;
        if (c.folderInPlace) {
            ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
        }
        if (c.contentsFail) put(target, "old picture");
        WriteResult result = writeFileAtomically(target, [&](const ByteSink& sink) {
            const uint8_t half[] = {'n', 'e', 'w'};
            return sink(half, sizeof half) && !c.contentsFail;
        });
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.reason.empty());
        if (c.contentsFail) {
            EXPECT_EQ(contents(target), "old picture");
        }
        const auto left = folder.entries();
        EXPECT_EQ(left, c.path == "/Tovik.bmp" ? std::vector<std::string>{"Tovik.bmp"} : std::vector<std::string>{});
        if (c.folderInPlace) rmdir(target.c_str());
    }
    EXPECT_FALSE(write("", "picture").ok);
}

} // namespace
} // namespace mirevo::test
