#include "platform/win32/service_manager_win.h"
#include "services/service_control.h"
#include "support/lib/test_service_control.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <utility>

namespace qm::services {
namespace {

using test::RegisteredTestService;
using test::TestServiceBehaviour;

// Really sleeps and really pumps this thread's messages; counts both, and
// can run something inside the next pump as a dispatched handler would.
class CountingWaiting final : public Waiting {
public:
    unsigned sleeps = 0;
    unsigned pumps = 0;
    std::function<void()> duringNextPump;

    void Sleep(unsigned milliseconds) override {
        ++sleeps;
        ::Sleep(milliseconds);
    }
    void PumpPendingMessages() override {
        ++pumps;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        if (duringNextPump) std::exchange(duringNextPump, {})();
    }
};

class ServiceControlOnTheRealManager : public ::testing::Test {
protected:
    win32::Win32ServiceManager manager;
    CountingWaiting waiting;

    std::string StateOf(const RegisteredTestService& service) { return GetServiceState(manager, service.Name()); }
};

TEST_F(ServiceControlOnTheRealManager, QueriesAStoppedAndARunningService) {
    RegisteredTestService service;
    EXPECT_EQ(StateOf(service), "notRunning");
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    EXPECT_EQ(StateOf(service), "running");
}

TEST_F(ServiceControlOnTheRealManager, QueriesAServiceWhileItIsStartingAndWhileItIsStopping) {
    RegisteredTestService service({.startDelayMs = 1000, .stopDelayMs = 1000});
    ASSERT_TRUE(service.RequestStart());
    EXPECT_EQ(StateOf(service), "starting");
    ASSERT_TRUE(service.WaitForState(SERVICE_RUNNING));
    ASSERT_TRUE(service.RequestStop());
    EXPECT_EQ(StateOf(service), "stopping");
}

TEST_F(ServiceControlOnTheRealManager, StartsAServiceThatRunsAtOnce) {
    RegisteredTestService service;
    EXPECT_EQ(RunService(manager, waiting, service.Name()), "success");
    EXPECT_EQ(service.State(), DWORD{SERVICE_RUNNING});
}

TEST_F(ServiceControlOnTheRealManager, WaitsForASlowStartAndSucceeds) {
    RegisteredTestService service({.startDelayMs = 1500});
    EXPECT_EQ(RunService(manager, waiting, service.Name()), "success");
    EXPECT_GE(waiting.pumps, 2u) << "the start was decided before the service left start-pending";
    EXPECT_EQ(service.State(), DWORD{SERVICE_RUNNING});
}

TEST_F(ServiceControlOnTheRealManager, FailsToStartAServiceThatRunsAlready) {
    RegisteredTestService service;
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    EXPECT_EQ(RunService(manager, waiting, service.Name()), "failed");
    EXPECT_EQ(waiting.sleeps, 0u);
    EXPECT_EQ(service.State(), DWORD{SERVICE_RUNNING});
}

TEST_F(ServiceControlOnTheRealManager, FailsToStartAServiceThatStopsDuringItsStart) {
    RegisteredTestService service({.startDelayMs = 700, .failStart = true});
    EXPECT_EQ(RunService(manager, waiting, service.Name()), "failed");
    EXPECT_EQ(service.State(), DWORD{SERVICE_STOPPED});
}

TEST_F(ServiceControlOnTheRealManager, StopsARunningService) {
    RegisteredTestService service;
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    StopServies(manager, waiting, service.Name());
    EXPECT_EQ(service.State(), DWORD{SERVICE_STOPPED});
    EXPECT_EQ(GetServiceState(manager, service.Name()), "notRunning");
}

TEST_F(ServiceControlOnTheRealManager, WaitsOutASlowStop) {
    RegisteredTestService service({.stopDelayMs = 1500});
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    StopServies(manager, waiting, service.Name());
    // It returns only once the service has left stop-pending.
    EXPECT_EQ(service.State(), DWORD{SERVICE_STOPPED});
    EXPECT_GE(waiting.sleeps, 2u);
}

TEST_F(ServiceControlOnTheRealManager, ReturnsAtOnceFromARefusedStop) {
    RegisteredTestService service({.refuseStop = true});
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    StopServies(manager, waiting, service.Name());
    EXPECT_EQ(waiting.sleeps, 0u);
    EXPECT_EQ(service.State(), DWORD{SERVICE_RUNNING});
}

TEST_F(ServiceControlOnTheRealManager, ReturnsAtOnceFromAStopOfAStoppedService) {
    RegisteredTestService service;
    StopServies(manager, waiting, service.Name());
    EXPECT_EQ(waiting.sleeps, 0u);
    EXPECT_EQ(service.State(), DWORD{SERVICE_STOPPED});
}

TEST_F(ServiceControlOnTheRealManager, NamesAMissingServiceAsPassedAndDoesNothingWithIt) {
    const std::string name = "QmNoSuchService 服务";
    EXPECT_EQ(GetServiceState(manager, name), "Can not open the service(QmNoSuchService 服务)");
    EXPECT_EQ(RunService(manager, waiting, name), "failed");
    StopServies(manager, waiting, name);
    EXPECT_EQ(waiting.sleeps, 0u);
}

TEST_F(ServiceControlOnTheRealManager, CountsOnlyAStoppedOrUninstalledServiceAsDown) {
    const std::string missing = "QmNoSuchService 服务";
    const OwnedServiceHandle scm(manager, manager.OpenManager(std::nullopt, kManagerConnect));
    ASSERT_TRUE(scm);
    const ServiceOpening opening = manager.OpenServiceByName(scm.get(), missing, kServiceQueryStatus);
    EXPECT_EQ(opening.handle, ServiceHandle::None);
    EXPECT_EQ(opening.error, kServiceDoesNotExist);
    EXPECT_TRUE(IsStoppedOrAbsent(manager, missing));

    RegisteredTestService service;
    EXPECT_TRUE(IsStoppedOrAbsent(manager, service.Name()));
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    EXPECT_FALSE(IsStoppedOrAbsent(manager, service.Name()));
}

TEST_F(ServiceControlOnTheRealManager, ControlsAServiceWithAChineseName) {
    RegisteredTestService service({}, L"\u6D4B\u8BD5\u670D\u52A1");  // 测试服务
    ASSERT_EQ(service.Name().rfind("测试服务-", 0), 0u);
    EXPECT_EQ(StateOf(service), "notRunning");
    EXPECT_EQ(RunService(manager, waiting, service.Name()), "success");
    StopServies(manager, waiting, service.Name());
    EXPECT_EQ(service.State(), DWORD{SERVICE_STOPPED});
}

TEST_F(ServiceControlOnTheRealManager, AQueryInsideAStopWaitAnswersForItsOwnService) {
    RegisteredTestService stopping({.stopDelayMs = 1500});
    RegisteredTestService other;
    ASSERT_TRUE(stopping.StartAndWaitUntilRunning());
    std::string otherState;
    waiting.duringNextPump = [&] { otherState = GetServiceState(manager, other.Name()); };
    StopServies(manager, waiting, stopping.Name());
    EXPECT_EQ(otherState, "notRunning");
    EXPECT_EQ(stopping.State(), DWORD{SERVICE_STOPPED});
}

}  // namespace
}  // namespace qm::services
