#include "diagnosis/pending_report.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace qm::diagnosis {
namespace {

const std::vector<Row> kRows = {{Group::Rights, "管理员权限", Status::Ok, "本程序以管理员身份运行"}};

TEST(PendingReport, AnnouncesADeliveryOnceAndHandsItOverOnce) {
    int announced = 0;
    PendingReport pending([&] { ++announced; });
    EXPECT_FALSE(pending.Take());
    pending.Deliver({kRows, nullptr});
    EXPECT_EQ(announced, 1);
    const std::optional<Outcome> taken = pending.Take();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->rows, kRows);
    EXPECT_FALSE(taken->failure);
    EXPECT_FALSE(pending.Take());
}

TEST(PendingReport, HandsOverTheErrorThatStoppedTheRun) {
    PendingReport pending([] {});
    pending.Deliver({{}, std::make_exception_ptr(std::runtime_error("x"))});
    const std::optional<Outcome> taken = pending.Take();
    ASSERT_TRUE(taken);
    EXPECT_THROW(std::rethrow_exception(taken->failure), std::runtime_error);
}

TEST(PendingReport, DropsADeliveryAfterTheWindowClosedIt) {
    int announced = 0;
    PendingReport pending([&] { ++announced; });
    pending.Close();
    pending.Deliver({kRows, nullptr});
    EXPECT_EQ(announced, 0);
    EXPECT_FALSE(pending.Take());
}

TEST(PendingReport, ForgetsAnOutcomeNotYetTakenWhenClosed) {
    PendingReport pending([] {});
    pending.Deliver({kRows, nullptr});
    pending.Close();
    EXPECT_FALSE(pending.Take());
}

}  // namespace
}  // namespace qm::diagnosis
