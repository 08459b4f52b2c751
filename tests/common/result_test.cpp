// A value or the reason there is none, also where both are text.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/result.h"

using namespace mirevo;

namespace {

Result<std::string, std::string> greeting(bool works) {
    if (!works) return Failure(std::string("no words"));
    return std::string("hello");
}

Result<void, int> done(int code) {
    if (code) return Failure(code);
    return {};
}

} // namespace

TEST(Result, HoldsTheValueOrTheReasonEvenWhenTheyShareATypeAndMovesWhatItHolds) {
    const auto fine = greeting(true), failed = greeting(false);
    ASSERT_TRUE(fine.ok() && fine);
    EXPECT_EQ(*fine, "hello");
    EXPECT_EQ(fine->size(), 5u);
    ASSERT_FALSE(failed.ok() || failed);
    EXPECT_EQ(failed.reason(), "no words");

    Result<std::unique_ptr<int>, int> owned = std::make_unique<int>(7);
    std::unique_ptr<int> taken = std::move(*owned);
    EXPECT_EQ(*taken, 7);

    EXPECT_TRUE(done(0));
    ASSERT_FALSE(done(266));
    EXPECT_EQ(done(266).reason(), 266);
}
