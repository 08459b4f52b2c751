// Buffers for large pages: every byte asked for is there, a large one starts on a large page, and the memory
// goes with its owner.
#include <gtest/gtest.h>

#include <cstring>

#include "common/posix/large_buffer.h"

namespace mirevo {
namespace {

TEST(LargeBuffer, HoldsEveryByteAskedForAndStartsALargeOneOnALargePage) {
    constexpr size_t kMiB = size_t{1} << 20;
    for (const size_t bytes : {size_t{1}, kMiB - 1, kMiB, 2 * kMiB, 2 * kMiB + 1, 5 * kMiB + 7}) {
        SCOPED_TRACE(bytes);
        LargeBuffer buffer(bytes);
        ASSERT_NE(buffer.get(), nullptr);
        std::memset(buffer.get(), 0xA5, bytes); // a page short would end the test here
        EXPECT_EQ(buffer.get()[bytes - 1], 0xA5);
        if (bytes >= kMiB) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.get()) % (2 * kMiB), 0u);
        }
        LargeBuffer moved(std::move(buffer));
        EXPECT_EQ(buffer.get(), nullptr);
        EXPECT_EQ(moved.get()[0], 0xA5);
        buffer = std::move(moved);
        EXPECT_EQ(buffer.get()[bytes - 1], 0xA5);
        buffer.reset();
        EXPECT_EQ(buffer.get(), nullptr);
    }
}

} // namespace
} // namespace mirevo
