// When a failed keyboard grab is tried again.
#include <gtest/gtest.h>

#include <vector>

#include "viewer/grab_retry.h"

using namespace mirevo::viewer;

TEST(GrabRetry, AFailingGrabIsTriedAFewTimesFurtherApartThenNeverAgain) {
    GrabRetry retry;
    std::vector<double> attempts;
    for (double now = 0; now < 30; now += 0.01)
        if (retry.due(now)) attempts.push_back(now), retry.failed(now);
    ASSERT_EQ(attempts.size(), size_t(GrabRetry::kAttempts));
    EXPECT_NEAR(attempts.back(), 3.1, 0.05);
    EXPECT_TRUE(retry.done());

    GrabRetry lucky;
    lucky.failed(0);
    EXPECT_FALSE(lucky.due(0.05));
    EXPECT_TRUE(lucky.due(0.1));
    lucky.succeeded();
    EXPECT_FALSE(lucky.due(100));
}
