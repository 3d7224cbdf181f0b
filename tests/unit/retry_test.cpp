#include "platform/retry.h"

#include <gtest/gtest.h>

#include <vector>

namespace qm {
namespace {

class RecordedWaiting final : public Waiting {
public:
    std::vector<unsigned> sleeps;
    void Sleep(unsigned milliseconds) override { sleeps.push_back(milliseconds); }
    void PumpPendingMessages() override {}
};

TEST(TryRepeatedly, StopsAtTheFirstSuccessPausingBetweenTries) {
    RecordedWaiting waiting;
    int made = 0;
    EXPECT_TRUE(TryRepeatedly([&] { return ++made == 3; }, 20, 25, waiting));
    EXPECT_EQ(made, 3);
    EXPECT_EQ(waiting.sleeps, (std::vector<unsigned>{25, 25}));
}

TEST(TryRepeatedly, GivesUpAfterTheLastTryWithoutPausingAfterIt) {
    RecordedWaiting waiting;
    int made = 0;
    EXPECT_FALSE(TryRepeatedly([&] { return ++made < 0; }, 4, 25, waiting));
    EXPECT_EQ(made, 4);
    EXPECT_EQ(waiting.sleeps.size(), 3u);
}

TEST(TryRepeatedly, NeedsNoPauseWhenTheFirstTrySucceeds) {
    RecordedWaiting waiting;
    EXPECT_TRUE(TryRepeatedly([] { return true; }, 20, 25, waiting));
    EXPECT_TRUE(waiting.sleeps.empty());
}

}  // namespace
}  // namespace qm
