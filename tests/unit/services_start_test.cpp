#include "services/service_control.h"

#include "services_fakes.h"

#include <gtest/gtest.h>

namespace qm::services {
namespace {

using test::CallLog;

class RunService_ : public test::ServiceOperationTest {
protected:
    std::string Run(const char* name = "tomcat6") {
        std::string result = RunService(manager, waiting, name);
        ExpectEveryHandleClosed();
        return result;
    }
};

const CallLog kOpened = {"OpenManager(default, F003F) -> #1", "OpenService(#1, tomcat6, F01FF) -> #2"};

CallLog Then(CallLog head, const CallLog& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST_F(RunService_, FailsAtOnceWhenTheStartIsRefused) {
    manager.Add("tomcat6").acceptsStart = false;  // already running, say
    EXPECT_EQ(Run(), "failed");
    EXPECT_EQ(log, Then(kOpened, {"Start(#2) -> refused", "Close(#2)", "Close(#1)"}));
}

TEST_F(RunService_, FailsWithoutAskingTheManagerForNoServiceAtAll) {
    EXPECT_EQ(Run(""), "failed");
    EXPECT_TRUE(log.empty());
}

TEST_F(RunService_, SucceedsWhenTheFirstQueryAlreadyShowsRunning) {
    manager.Add("tomcat6").states = {4};
    EXPECT_EQ(Run(), "success");
    // Half a second before the pump, and the decision after it: no second half.
    EXPECT_EQ(log,
              Then(kOpened, {"Start(#2) -> ok", "Query(#2) -> 4", "Sleep(500)", "Pump", "Close(#2)", "Close(#1)"}));
}

TEST_F(RunService_, WaitsHalfASecondEitherSideOfThePumpWhileStartPending) {
    manager.Add("tomcat6").states = {2, 2, 4};
    EXPECT_EQ(Run(), "success");
    EXPECT_EQ(log, Then(kOpened, {"Start(#2) -> ok",                                     //
                                  "Query(#2) -> 2", "Sleep(500)", "Pump", "Sleep(500)",  //
                                  "Query(#2) -> 2", "Sleep(500)", "Pump", "Sleep(500)",  //
                                  "Query(#2) -> 4", "Sleep(500)", "Pump",                //
                                  "Close(#2)", "Close(#1)"}));
}

TEST_F(RunService_, FailsWhenTheServiceFallsBackToStopped) {
    manager.Add("tomcat6").states = {2, 1};
    EXPECT_EQ(Run(), "failed");
    EXPECT_EQ(test::CountStartingWith(log, "Query"), 2u);
}

TEST_F(RunService_, FailsOnEveryStateAfterThePendingOneButRunning) {
    for (std::uint32_t state : {0u, 1u, 3u, 5u, 6u, 7u, 8u}) {
        log.clear();
        manager.Add("tomcat6").states = {state};
        EXPECT_EQ(Run(), "failed") << "state " << state;
    }
}

TEST_F(RunService_, FailsWithoutAPumpWhenNoStatusCanBeRead) {
    manager.Add("tomcat6").states = {std::nullopt};
    EXPECT_EQ(Run(), "failed");
    EXPECT_EQ(log, Then(kOpened, {"Start(#2) -> ok", "Query(#2) -> failed", "Close(#2)", "Close(#1)"}));
}

TEST_F(RunService_, FailsOnAServiceStuckStartPendingAtTheCap) {
    manager.Add("tomcat6").states = {2};
    EXPECT_EQ(Run(), "failed");
    const auto polls = static_cast<std::size_t>(kMaxPendingPolls);
    EXPECT_EQ(test::CountStartingWith(log, "Query(#2) -> 2"), polls);
    EXPECT_EQ(test::CountStartingWith(log, "Pump"), polls);
    // Every query but the last is followed by both halves of the second.
    EXPECT_EQ(test::CountStartingWith(log, "Sleep(500)"), 2 * polls - 1);
}

TEST_F(RunService_, SucceedsOnTheLastPollBeforeTheCap) {
    std::vector<std::optional<std::uint32_t>> states(static_cast<std::size_t>(kMaxPendingPolls) - 1, 2u);
    states.push_back(4u);
    manager.Add("tomcat6").states = states;
    EXPECT_EQ(Run(), "success");
}

TEST_F(RunService_, FailsWhenTheServiceDoesNotOpen) {
    EXPECT_EQ(Run("no such service"), "failed");
    EXPECT_EQ(log, (CallLog{"OpenManager(default, F003F) -> #1", "OpenService(#1, no such service, F01FF) -> none",
                            "Close(#1)"}));
}

TEST_F(RunService_, FailsForAUserWhoMayNotOpenTheManagerWithFullAccess) {
    manager.grantedManagerAccess = kManagerConnect;
    manager.Add("tomcat6").states = {4};
    EXPECT_EQ(Run(), "failed");
    EXPECT_EQ(log, (CallLog{"OpenManager(default, F003F) -> none"}));
}

}  // namespace
}  // namespace qm::services
