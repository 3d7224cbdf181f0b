#include "platform/win32/system_inspection_win.h"

#include "platform/win32/service_calls_win.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <vector>

namespace qm::win32 {
namespace {

constexpr DWORD kManagerRights = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE;
constexpr DWORD kServiceRights = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS;
constexpr std::size_t kLargestConfig = 8 * 1024;
// The first enumeration call's room. Wine copies the whole buffer through its
// service manager's RPC whatever it holds (256 KB took 90 ms, 16 KB 2-10 ms),
// so more services cost a second call instead.
constexpr std::size_t kEnumerationBytes = 16 * 1024;

// The command line the manager starts; nothing when it can't be asked.
std::optional<std::string> BinaryPath(SC_HANDLE service) {
    // Every call is a round trip to the service manager: ask once with room
    // for the largest configuration there can be, again only if that was short.
    // QUERY_SERVICE_CONFIGW holds pointers, so the buffer is aligned for them.
    std::vector<QUERY_SERVICE_CONFIGW> buffer(kLargestConfig / sizeof(QUERY_SERVICE_CONFIGW) + 1);
    DWORD needed = 0;
    const auto query = [&] {
        return QueryServiceConfigW(service, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof buffer[0]),
                                   &needed);
    };
    while (!ServiceManagerCall(query)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
        buffer.resize(needed / sizeof(QUERY_SERVICE_CONFIGW) + 1);
    }
    const wchar_t* path = buffer[0].lpBinaryPathName;
    return path ? Narrow(path) : std::string();
}

void CopyStatus(const SERVICE_STATUS_PROCESS& status, ServiceDescription& service) {
    service.state = status.dwCurrentState;
    service.win32ExitCode = status.dwWin32ExitCode;
    service.serviceExitCode = status.dwServiceSpecificExitCode;
    service.processId = status.dwProcessId;
}

SC_HANDLE OpenManager() {
    return ServiceManagerCall([] { return OpenSCManagerW(nullptr, nullptr, kManagerRights); });
}

}  // namespace

ServiceLookup Win32ServiceInspector::Describe(std::string_view name) {
    ServiceLookup lookup;
    const UniqueServiceHandle manager(OpenManager());
    if (!manager) return {GetLastError(), {}};
    const std::wstring wideName = Widen(name);
    const UniqueServiceHandle service(
        ServiceManagerCall([&] { return OpenServiceW(manager.get(), wideName.c_str(), kServiceRights); }));
    if (!service) return {GetLastError(), {}};
    const auto path = BinaryPath(service.get());
    if (!path) return {GetLastError(), {}};
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!ServiceManagerCall([&] {
            return QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                        sizeof status, &needed);
        }))
        return {GetLastError(), {}};
    lookup.service.name = std::string(name);
    lookup.service.binaryPath = *path;
    CopyStatus(status, lookup.service);
    return lookup;
}

std::optional<std::vector<ServiceDescription>> Win32ServiceInspector::DescribeAll() {
    const UniqueServiceHandle manager(OpenManager());
    if (!manager) return std::nullopt;
    std::vector<ServiceDescription> services;
    std::vector<ENUM_SERVICE_STATUS_PROCESSW> buffer(kEnumerationBytes / sizeof(ENUM_SERVICE_STATUS_PROCESSW));
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0;
        DWORD returned = 0;
        const BOOL done = ServiceManagerCall([&] {
            return EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                         reinterpret_cast<BYTE*>(buffer.data()),
                                         static_cast<DWORD>(buffer.size() * sizeof(ENUM_SERVICE_STATUS_PROCESSW)),
                                         &needed, &returned, &resume, nullptr);
        });
        if (!done && GetLastError() != ERROR_MORE_DATA) return std::nullopt;
        for (DWORD i = 0; i < returned; ++i) {
            ServiceDescription service;
            service.name = Narrow(buffer[i].lpServiceName);
            CopyStatus(buffer[i].ServiceStatusProcess, service);
            // A service we may list but not query keeps an empty path.
            const UniqueServiceHandle opened(ServiceManagerCall(
                [&] { return OpenServiceW(manager.get(), buffer[i].lpServiceName, SERVICE_QUERY_CONFIG); }));
            if (opened) service.binaryPath = BinaryPath(opened.get()).value_or(std::string());
            services.push_back(std::move(service));
        }
        if (done) return services;
        buffer.resize(buffer.size() + needed / sizeof(ENUM_SERVICE_STATUS_PROCESSW) + 1);
    }
}

}  // namespace qm::win32
