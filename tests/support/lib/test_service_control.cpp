#include "support/lib/test_service_control.h"

#include "platform/win32/wide_text.h"
#include "support/lib/started_program.h"
#include "support/lib/wait.h"

#include <atomic>
#include <stdexcept>
#include <vector>

namespace qm::test {
namespace {

std::wstring UniqueServiceName(const std::wstring& prefix) {
    static std::atomic<unsigned> counter{0};
    return prefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()) + L"-" +
           std::to_wstring(++counter);
}

std::wstring CommandLine(const TestServiceBehaviour& behaviour) {
    if (!behaviour.commandLine.empty()) return behaviour.commandLine;
    const std::wstring program =
        behaviour.program.empty() ? SiblingProgramPath(L"qm_test_service.exe") : behaviour.program;
    std::wstring line = L"\"" + program + L"\"";
    if (!behaviour.leadingArguments.empty()) line += L" " + behaviour.leadingArguments;
    if (behaviour.startDelayMs) line += L" --start-delay-ms " + std::to_wstring(behaviour.startDelayMs);
    if (behaviour.failStart) line += L" --fail-start";
    if (behaviour.stopDelayMs) line += L" --stop-delay-ms " + std::to_wstring(behaviour.stopDelayMs);
    if (behaviour.refuseStop) line += L" --refuse-stop";
    if (!behaviour.logFile.empty())
        line += L" --log-file \"" + behaviour.logFile + L"\" --log-line \"" + behaviour.logLine + L"\"";
    if (behaviour.listenPort) line += L" --listen-port " + std::to_wstring(behaviour.listenPort);
    if (behaviour.exitAfterMs)
        line += L" --exit-after-ms " + std::to_wstring(behaviour.exitAfterMs) + L" --exit-code " +
                std::to_wstring(behaviour.exitCode);
    return line;
}

std::runtime_error Failure(const char* what) {
    return std::runtime_error(std::string(what) + " failed with error " + std::to_string(GetLastError()));
}

}  // namespace

RegisteredTestService::RegisteredTestService(const TestServiceBehaviour& behaviour, const std::wstring& namePrefix)
    : wideName_(UniqueServiceName(namePrefix)), name_(win32::Narrow(wideName_)) {
    Register(behaviour);
}

RegisteredTestService::RegisteredTestService(const TestServiceBehaviour& behaviour, const ExactName& name)
    : wideName_(name.name), name_(win32::Narrow(wideName_)) {
    manager_.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager_) throw Failure("OpenSCManagerW");
    {
        const win32::UniqueServiceHandle leftover(OpenServiceW(manager_.get(), wideName_.c_str(), SERVICE_ALL_ACCESS));
        if (leftover) {
            SERVICE_STATUS ignored{};
            ControlService(leftover.get(), kTestServiceQuitControl, &ignored);
            DeleteService(leftover.get());
        }
    }
    WaitUntil([&] { return !ServiceExists(wideName_); });
    Register(behaviour);
}

void RegisteredTestService::Register(const TestServiceBehaviour& behaviour) {
    if (!manager_) manager_.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager_) throw Failure("OpenSCManagerW");
    const std::wstring commandLine = CommandLine(behaviour);
    service_.reset(CreateServiceW(manager_.get(), wideName_.c_str(), wideName_.c_str(), SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                  commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service_) throw Failure("CreateServiceW");
}

RegisteredTestService::~RegisteredTestService() {
    const std::optional<DWORD> state = State();
    if (state && *state != SERVICE_STOPPED) {
        // A start still in progress takes no controls: let it finish first.
        WaitUntil([&] { return State() != DWORD{SERVICE_START_PENDING}; });
        SERVICE_STATUS ignored{};
        ControlService(service_.get(), kTestServiceQuitControl, &ignored);
        if (!WaitForState(SERVICE_STOPPED)) {
            SERVICE_STATUS_PROCESS process{};
            DWORD needed = 0;
            if (QueryServiceStatusEx(service_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process),
                                     sizeof process, &needed)) {
                const win32::UniqueKernelHandle running(OpenProcess(PROCESS_TERMINATE, FALSE, process.dwProcessId));
                if (running) TerminateProcess(running.get(), 1);
            }
        }
    }
    DeleteService(service_.get());
    service_.reset();
    manager_.reset();
    WaitUntil([&] { return !ServiceExists(wideName_); });
}

std::optional<DWORD> RegisteredTestService::State() const {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service_.get(), &status)) return std::nullopt;
    return status.dwCurrentState;
}

bool RegisteredTestService::WaitForState(DWORD state, std::chrono::milliseconds bound) const {
    return WaitUntil([&] { return State() == state; }, bound);
}

bool RegisteredTestService::RequestStart() { return StartServiceW(service_.get(), 0, nullptr) != FALSE; }

bool RegisteredTestService::RequestStop() {
    SERVICE_STATUS ignored{};
    return ControlService(service_.get(), SERVICE_CONTROL_STOP, &ignored) != FALSE;
}

bool RegisteredTestService::StartAndWaitUntilRunning() { return RequestStart() && WaitForState(SERVICE_RUNNING); }

bool ServiceExists(const std::wstring& name) {
    const win32::UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const win32::UniqueServiceHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
    return service || GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
}

}  // namespace qm::test
