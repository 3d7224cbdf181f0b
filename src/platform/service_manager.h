#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qm {

// A handle the service manager gave out, as an opaque token. None means the
// open failed; such a token is never passed back.
enum class ServiceHandle : std::uintptr_t { None = 0 };

// What opening a service gave: its handle, or None and the platform's error
// code (1060, ERROR_SERVICE_DOES_NOT_EXIST, for a service that is not
// installed; 5 for one we may not open as asked).
struct ServiceOpening {
    ServiceHandle handle = ServiceHandle::None;
    std::uint32_t error = 0;
};

// The few service-manager calls the program makes, one to one with the
// platform's. Each call reports success or failure and nothing more: what a
// failure means to the user is decided by the caller.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;

    // The local machine's manager. No database means the default one.
    virtual ServiceHandle OpenManager(std::optional<std::string_view> database, std::uint32_t access) = 0;
    // Not called OpenService: <windows.h> makes that name a macro.
    virtual ServiceOpening OpenServiceByName(ServiceHandle manager, std::string_view name, std::uint32_t access) = 0;
    // Sends a control code; whether it was accepted is all that comes back.
    virtual bool Control(ServiceHandle service, std::uint32_t control) = 0;
    // Starts the service with no arguments.
    virtual bool Start(ServiceHandle service) = 0;
    // The service's current-state value, or nothing when the query failed.
    virtual std::optional<std::uint32_t> QueryState(ServiceHandle service) = 0;
    virtual void Close(ServiceHandle handle) = 0;
};

// Owns one token and gives it back to its manager when it goes, so every
// path out of an operation closes what that operation opened.
class OwnedServiceHandle {
public:
    OwnedServiceHandle(ServiceManager& manager, ServiceHandle handle) noexcept : manager_(manager), handle_(handle) {}
    OwnedServiceHandle(const OwnedServiceHandle&) = delete;
    OwnedServiceHandle& operator=(const OwnedServiceHandle&) = delete;
    ~OwnedServiceHandle() {
        if (handle_ != ServiceHandle::None) manager_.Close(handle_);
    }

    ServiceHandle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != ServiceHandle::None; }

private:
    ServiceManager& manager_;
    ServiceHandle handle_;
};

}  // namespace qm
