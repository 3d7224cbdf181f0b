// The service inspector against services registered by the test: one whose
// program is a Tomcat service runner (never started), the test service
// running, and the test service after a failed start.
#include "platform/win32/system_inspection_win.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "support/lib/test_service_control.h"
#include "support/lib/wait.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

namespace qm {
namespace {

constexpr wchar_t kRunnerCommandLine[] = L"C:\\x\\bin\\tomcat6.exe //RS//tomcat6";

// A service that only has to exist: it is never started.
class RegisteredRunnerService {
public:
    RegisteredRunnerService()
        : name_(L"QmDiagRunner-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64())),
          manager_(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)),
          service_(CreateServiceW(manager_.get(), name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                  kRunnerCommandLine, nullptr, nullptr, nullptr, nullptr, nullptr)) {}
    ~RegisteredRunnerService() {
        DeleteService(service_.get());
        service_.reset();
        test::WaitUntil([&] { return !test::ServiceExists(name_); });
    }
    explicit operator bool() const { return static_cast<bool>(service_); }
    std::string Name() const { return win32::Narrow(name_); }

private:
    std::wstring name_;
    win32::UniqueServiceHandle manager_;
    win32::UniqueServiceHandle service_;
};

const ServiceDescription* Find(const std::vector<ServiceDescription>& all, const std::string& name) {
    const auto found =
        std::find_if(all.begin(), all.end(), [&](const ServiceDescription& s) { return s.name == name; });
    return found == all.end() ? nullptr : &*found;
}

TEST(ServiceInspector, DescribesAStoppedServiceWithItsCommandLineAsConfigured) {
    RegisteredRunnerService runner;
    ASSERT_TRUE(runner);
    win32::Win32ServiceInspector services;
    const ServiceLookup lookup = services.Describe(runner.Name());
    EXPECT_EQ(lookup.error, 0u);
    EXPECT_EQ(lookup.service.name, runner.Name());
    EXPECT_EQ(lookup.service.binaryPath, win32::Narrow(kRunnerCommandLine));
    EXPECT_EQ(lookup.service.state, DWORD{SERVICE_STOPPED});
    EXPECT_EQ(lookup.service.processId, 0u);
}

TEST(ServiceInspector, GivesTheSystemsErrorForAServiceThatIsNotInstalled) {
    win32::Win32ServiceInspector services;
    EXPECT_EQ(services.Describe("QmDiagNoSuchService").error, DWORD{ERROR_SERVICE_DOES_NOT_EXIST});
}

TEST(ServiceInspector, DescribesARunningServiceWithItsProcess) {
    test::RegisteredTestService service;
    ASSERT_TRUE(service.StartAndWaitUntilRunning());
    win32::Win32ServiceInspector services;
    const ServiceLookup lookup = services.Describe(service.Name());
    EXPECT_EQ(lookup.error, 0u);
    EXPECT_EQ(lookup.service.state, DWORD{SERVICE_RUNNING});
    EXPECT_NE(lookup.service.processId, 0u);
}

TEST(ServiceInspector, KeepsTheExitCodesOfAFailedStart) {
    test::RegisteredTestService service({.failStart = true});
    ASSERT_TRUE(service.RequestStart());
    ASSERT_TRUE(service.WaitForState(SERVICE_STOPPED));
    win32::Win32ServiceInspector services;
    const ServiceLookup lookup = services.Describe(service.Name());
    EXPECT_EQ(lookup.service.win32ExitCode, DWORD{ERROR_SERVICE_SPECIFIC_ERROR});
    EXPECT_EQ(lookup.service.serviceExitCode, 1u);
}

TEST(ServiceInspector, ListsEveryServiceWithItsCommandLine) {
    RegisteredRunnerService runner;
    ASSERT_TRUE(runner);
    win32::Win32ServiceInspector services;
    const auto all = services.DescribeAll();
    ASSERT_TRUE(all);
    const ServiceDescription* listed = Find(*all, runner.Name());
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->binaryPath, win32::Narrow(kRunnerCommandLine));
    EXPECT_EQ(listed->state, DWORD{SERVICE_STOPPED});
}

}  // namespace
}  // namespace qm
