// When a program restarts itself for large pages, and with what tunables.
#include <gtest/gtest.h>

#include "common/posix/large_pages.h"

namespace mirevo {
namespace {

struct Case {
    const char* kernelMode;
    const char* libraryVersion;
    const char* tunables; // nullptr: not set
    const char* expected; // nullptr: no restart
};

TEST(LargePages, RestartsOnlyWhereTheKernelAndTheLibraryGiveThemAndNobodyHasChosen) {
    const Case cases[] = {
        {"always [madvise] never\n", "2.36", nullptr, "glibc.malloc.hugetlb=1"},
        {"always [madvise] never\n", "2.35", "", "glibc.malloc.hugetlb=1"},
        {"always [madvise] never\n", "3.0", nullptr, "glibc.malloc.hugetlb=1"},
        // Other tunables are kept, in their order.
        {"always [madvise] never\n", "2.36", "glibc.malloc.check=3", "glibc.malloc.check=3:glibc.malloc.hugetlb=1"},
        // Already restarted, or the user's own choice either way.
        {"always [madvise] never\n", "2.36", "glibc.malloc.hugetlb=1", nullptr},
        {"always [madvise] never\n", "2.36", "glibc.malloc.check=3:glibc.malloc.hugetlb=0", nullptr},
        // The kernel gives them anyway, or never; or its file could not be read.
        {"[always] madvise never\n", "2.36", nullptr, nullptr},
        {"always madvise [never]\n", "2.36", nullptr, nullptr},
        {"", "2.36", nullptr, nullptr},
        // A library without the tunable, or a version that cannot be read.
        {"always [madvise] never\n", "2.34", nullptr, nullptr},
        {"always [madvise] never\n", "1.99", nullptr, nullptr},
        {"always [madvise] never\n", "", nullptr, nullptr},
        {"always [madvise] never\n", "two.36", nullptr, nullptr},
        {"always [madvise] never\n", "2", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const auto result = tunablesForLargePages(c.kernelMode, c.libraryVersion, c.tunables);
        SCOPED_TRACE(std::string(c.kernelMode) + " | " + c.libraryVersion + " | " + (c.tunables ? c.tunables : "(unset)"));
        if (c.expected) {
            ASSERT_TRUE(result.has_value());
            EXPECT_EQ(*result, c.expected);
        } else {
            EXPECT_FALSE(result.has_value()) << *result;
        }
    }
}

} // namespace
} // namespace mirevo
