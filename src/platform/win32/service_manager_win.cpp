#include "platform/win32/service_manager_win.h"

#include "platform/win32/service_calls_win.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

#include <string>

namespace qm::win32 {
namespace {

SC_HANDLE Native(ServiceHandle handle) { return reinterpret_cast<SC_HANDLE>(static_cast<std::uintptr_t>(handle)); }

// A failed open gives NULL, which is ServiceHandle::None.
ServiceHandle Token(SC_HANDLE handle) { return static_cast<ServiceHandle>(reinterpret_cast<std::uintptr_t>(handle)); }

}  // namespace

ServiceHandle Win32ServiceManager::OpenManager(std::optional<std::string_view> database, std::uint32_t access) {
    const std::wstring databaseName = database ? Widen(*database) : std::wstring();
    return Token(ServiceManagerCall(
        [&] { return OpenSCManagerW(nullptr, database ? databaseName.c_str() : nullptr, access); }));
}

ServiceOpening Win32ServiceManager::OpenServiceByName(ServiceHandle manager, std::string_view name,
                                                      std::uint32_t access) {
    const std::wstring wideName = Widen(name);
    const SC_HANDLE service =
        ServiceManagerCall([&] { return OpenServiceW(Native(manager), wideName.c_str(), access); });
    return {Token(service), service ? 0 : static_cast<std::uint32_t>(GetLastError())};
}

bool Win32ServiceManager::Control(ServiceHandle service, std::uint32_t control) {
    // The status record is the platform's to fill and ours to ignore: after a
    // refused control it may not even have been written.
    SERVICE_STATUS status{};
    return ServiceManagerCall([&] { return ControlService(Native(service), control, &status); }) != FALSE;
}

bool Win32ServiceManager::Start(ServiceHandle service) {
    return ServiceManagerCall([&] { return StartServiceW(Native(service), 0, nullptr); }) != FALSE;
}

std::optional<std::uint32_t> Win32ServiceManager::QueryState(ServiceHandle service) {
    SERVICE_STATUS status{};
    if (!ServiceManagerCall([&] { return QueryServiceStatus(Native(service), &status); })) return std::nullopt;
    return status.dwCurrentState;
}

// Closing through the owner keeps the thread's last-error value intact.
void Win32ServiceManager::Close(ServiceHandle handle) { UniqueServiceHandle(Native(handle)).reset(); }

}  // namespace qm::win32
