// The per-user session lock on its file.
#include "saver/startup/session_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "tests/harness/temp_dir.h"

namespace mirevo {
namespace {

TEST(SessionLock, OneHolderAtATimeAndNoneWithoutAFolder) {
    test::TempDir dir;
    std::optional<SessionLock> first = SessionLock::take(dir.path());
    EXPECT_EQ(first->state(), SessionLockState::Taken);
    EXPECT_EQ(SessionLock::take(dir.path()).state(), SessionLockState::HeldElsewhere);
    first.reset();
    EXPECT_EQ(SessionLock::take(dir.path()).state(), SessionLockState::Taken);
    struct stat info {};
    ASSERT_EQ(::stat((dir / kSessionLockFileName).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    EXPECT_EQ(SessionLock::take("").state(), SessionLockState::Unavailable);
    EXPECT_EQ(SessionLock::take(dir / "missing").state(), SessionLockState::Unavailable);
    test::TempDir planted;
    std::filesystem::create_symlink(dir / kSessionLockFileName, planted / kSessionLockFileName);
    EXPECT_EQ(SessionLock::take(planted.path()).state(), SessionLockState::Unavailable) << "never followed";
}

} // namespace
} // namespace mirevo
