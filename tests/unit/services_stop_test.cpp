#include "services/service_control.h"

#include "services_fakes.h"

#include <gtest/gtest.h>

namespace qm::services {
namespace {

using test::CallLog;

class StopServies_ : public test::ServiceOperationTest {
protected:
    void Stop(const char* name = "tomcat6") {
        StopServies(manager, waiting, name);
        ExpectEveryHandleClosed();
    }
};

TEST_F(StopServies_, ReturnsAtOnceWithoutSleepingWhenTheStopIsRefused) {
    manager.Add("tomcat6").acceptsStop = false;  // already stopped, or refuses stops
    Stop();
    EXPECT_EQ(log, (CallLog{
                       "OpenManager(default, F003F) -> #1",
                       "OpenService(#1, tomcat6, F01FF) -> #2",
                       "Control(#2, 1) -> refused",
                       "Close(#2)",
                       "Close(#1)",
                   }));
}

TEST_F(StopServies_, SleepsASecondQueriesOnceAndPumpsWhenTheServiceStopsAtOnce) {
    manager.Add("tomcat6").states = {1};
    Stop();
    EXPECT_EQ(log, (CallLog{
                       "OpenManager(default, F003F) -> #1",
                       "OpenService(#1, tomcat6, F01FF) -> #2",
                       "Control(#2, 1) -> ok",
                       "Sleep(1000)",
                       "Query(#2) -> 1",
                       "Pump",
                       "Close(#2)",
                       "Close(#1)",
                   }));
}

TEST_F(StopServies_, PollsEverySecondWhileStopPendingWithAPumpAfterEachQuery) {
    manager.Add("tomcat6").states = {3, 3, 3, 1};
    Stop();
    const CallLog poll3 = {"Sleep(1000)", "Query(#2) -> 3", "Pump"};
    CallLog expected = {"OpenManager(default, F003F) -> #1", "OpenService(#1, tomcat6, F01FF) -> #2",
                        "Control(#2, 1) -> ok"};
    for (int i = 0; i < 3; ++i) expected.insert(expected.end(), poll3.begin(), poll3.end());
    expected.insert(expected.end(), {"Sleep(1000)", "Query(#2) -> 1", "Pump", "Close(#2)", "Close(#1)"});
    EXPECT_EQ(log, expected);
}

TEST_F(StopServies_, EndsTheWaitOnAnyStateButStopPending) {
    // Only stop-pending keeps the wait going: a service that went on running
    // (or anything stranger) ends it after the first poll.
    for (std::uint32_t state : {0u, 2u, 4u, 7u, 9u}) {
        log.clear();
        manager.Add("tomcat6").states = {state};
        Stop();
        EXPECT_EQ(test::CountStartingWith(log, "Query"), 1u) << "state " << state;
    }
}

TEST_F(StopServies_, StopsPollingWithoutAPumpWhenAQueryFailsMidWait) {
    manager.Add("tomcat6").states = {3, std::nullopt, 1};
    Stop();
    EXPECT_EQ(log, (CallLog{
                       "OpenManager(default, F003F) -> #1",
                       "OpenService(#1, tomcat6, F01FF) -> #2",
                       "Control(#2, 1) -> ok",
                       "Sleep(1000)",
                       "Query(#2) -> 3",
                       "Pump",
                       "Sleep(1000)",
                       "Query(#2) -> failed",
                       "Close(#2)",
                       "Close(#1)",
                   }));
}

TEST_F(StopServies_, GivesUpOnAServiceStuckStopPendingAtTheCap) {
    manager.Add("tomcat6").states = {3};
    Stop();
    const auto polls = static_cast<std::size_t>(kMaxPendingPolls);
    EXPECT_EQ(polls * kStopPollMs, 5u * 60u * 1000u);
    EXPECT_EQ(test::CountStartingWith(log, "Sleep(1000)"), polls);
    EXPECT_EQ(test::CountStartingWith(log, "Query(#2) -> 3"), polls);
    EXPECT_EQ(test::CountStartingWith(log, "Pump"), polls);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], "Pump");  // no sleep after the last poll
}

TEST_F(StopServies_, DoesNothingWhenTheServiceDoesNotOpen) {
    Stop("no such service");
    EXPECT_EQ(log, (CallLog{
                       "OpenManager(default, F003F) -> #1",
                       "OpenService(#1, no such service, F01FF) -> none",
                       "Close(#1)",
                   }));
}

TEST_F(StopServies_, DoesNothingForAUserWhoMayNotOpenTheManagerWithFullAccess) {
    manager.grantedManagerAccess = kManagerConnect;
    manager.Add("tomcat6");
    Stop();
    EXPECT_EQ(log, (CallLog{"OpenManager(default, F003F) -> none"}));
}

}  // namespace
}  // namespace qm::services
