#include "services/service_control.h"

#include "services_fakes.h"

#include <gtest/gtest.h>

namespace qm::services {
namespace {

using test::CallLog;

class GetServiceState_ : public test::ServiceOperationTest {
protected:
    std::string StateOf(std::uint32_t state) {
        manager.Add("svc").states = {state};
        return Query("svc");
    }
    std::string Query(const std::string& name) {
        std::string word = GetServiceState(manager, name);
        ExpectEveryHandleClosed();
        return word;
    }
};

TEST_F(GetServiceState_, NamesEachStateOfTheTable) {
    EXPECT_EQ(StateOf(1), "notRunning");
    EXPECT_EQ(StateOf(2), "starting");
    EXPECT_EQ(StateOf(3), "stopping");
    EXPECT_EQ(StateOf(4), "running");
    EXPECT_EQ(StateOf(5), "continuePending");
    EXPECT_EQ(StateOf(6), "pausePending");
    EXPECT_EQ(StateOf(7), "paused");
}

TEST_F(GetServiceState_, CallsStatesOutsideTheTableUnknown) {
    EXPECT_EQ(StateOf(0), "unknown");
    EXPECT_EQ(StateOf(8), "unknown");
    EXPECT_EQ(StateOf(0xFFFFFFFF), "unknown");
}

TEST_F(GetServiceState_, AsksTheActiveDatabaseWithConnectAndQueryRightsOnly) {
    manager.grantedManagerAccess = kManagerConnect;
    manager.Add("svc").grantedAccess = kServiceQueryStatus;
    manager.Add("svc").states = {4};
    EXPECT_EQ(Query("svc"), "running");
    EXPECT_EQ(log, (CallLog{
                       "OpenManager(ServicesActive, 1) -> #1",
                       "OpenService(#1, svc, 4) -> #2",
                       "Query(#2) -> 4",
                       "Close(#2)",
                       "Close(#1)",
                   }));
}

TEST_F(GetServiceState_, SaysNotQueryWhenTheQueryFails) {
    manager.Add("svc").states = {std::nullopt};
    EXPECT_EQ(Query("svc"), "notQuery");
}

TEST_F(GetServiceState_, NamesTheServiceExactlyAsPassedWhenItDoesNotOpen) {
    EXPECT_EQ(Query("MSSQL$Express 2"), "Can not open the service(MSSQL$Express 2)");
    EXPECT_EQ(log, (CallLog{
                       "OpenManager(ServicesActive, 1) -> #1",
                       "OpenService(#1, MSSQL$Express 2, 4) -> none",
                       "Close(#1)",
                   }));
    EXPECT_EQ(Query(""), "Can not open the service()");
}

TEST_F(GetServiceState_, SaysSoWhenTheManagerDoesNotOpen) {
    manager.grantedManagerAccess = 0;
    EXPECT_EQ(Query("svc"), "Can not open the service control manager");
    EXPECT_EQ(log, (CallLog{"OpenManager(ServicesActive, 1) -> none"}));
}

// A click handled by a pump runs its own operation inside the outer wait.
class NestedCall : public GetServiceState_ {};

TEST_F(NestedCall, AStartInsideAStopWaitUsesItsOwnHandlesAndTheStopResumes) {
    manager.Add("tomcat6").states = {3, 3, 1};
    manager.Add("MSSQLSERVER").states = {4};
    std::string innerResult;
    waiting.duringNextPump = [&] { innerResult = RunService(manager, waiting, "MSSQLSERVER"); };

    StopServies(manager, waiting, "tomcat6");

    EXPECT_EQ(innerResult, "success");
    EXPECT_TRUE(manager.OpenHandles().empty());
    EXPECT_EQ(log, (CallLog{
                       "OpenManager(default, F003F) -> #1",
                       "OpenService(#1, tomcat6, F01FF) -> #2",
                       "Control(#2, 1) -> ok",
                       "Sleep(1000)",
                       "Query(#2) -> 3",
                       "Pump",
                       "OpenManager(default, F003F) -> #3",
                       "OpenService(#3, MSSQLSERVER, F01FF) -> #4",
                       "Start(#4) -> ok",
                       "Query(#4) -> 4",
                       "Sleep(500)",
                       "Pump",
                       "Close(#4)",
                       "Close(#3)",
                       "Sleep(1000)",
                       "Query(#2) -> 3",
                       "Pump",
                       "Sleep(1000)",
                       "Query(#2) -> 1",
                       "Pump",
                       "Close(#2)",
                       "Close(#1)",
                   }));
}

TEST_F(NestedCall, ASecondStopOfTheSameServiceInsideTheWaitEndsBothCleanly) {
    // The second click sends its own stop, which the pending service refuses;
    // the outer wait then goes on polling its own handle.
    auto& tomcat = manager.Add("tomcat6");
    tomcat.states = {3, 1};
    waiting.duringNextPump = [&] {
        tomcat.acceptsStop = false;
        StopServies(manager, waiting, "tomcat6");
    };

    StopServies(manager, waiting, "tomcat6");

    EXPECT_TRUE(manager.OpenHandles().empty());
    EXPECT_EQ(test::CountStartingWith(log, "Control(#4, 1) -> refused"), 1u);
    EXPECT_EQ(test::CountStartingWith(log, "Query(#2)"), 2u);
    EXPECT_EQ(log.back(), "Close(#1)");
}

}  // namespace
}  // namespace qm::services
