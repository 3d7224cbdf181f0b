#pragma once

#include "platform/service_manager.h"

namespace qm::win32 {

// The service manager of the local machine through advapi32's wide calls.
// Holds nothing between calls: every token it hands out is the platform's
// own handle, and a nested call inside a wait works with its own tokens.
class Win32ServiceManager final : public ServiceManager {
public:
    ServiceHandle OpenManager(std::optional<std::string_view> database, std::uint32_t access) override;
    ServiceOpening OpenServiceByName(ServiceHandle manager, std::string_view name, std::uint32_t access) override;
    bool Control(ServiceHandle service, std::uint32_t control) override;
    bool Start(ServiceHandle service) override;
    std::optional<std::uint32_t> QueryState(ServiceHandle service) override;
    void Close(ServiceHandle handle) override;
};

}  // namespace qm::win32
