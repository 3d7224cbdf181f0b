#pragma once

// The line under the SQL Server page's list: the picked instance's service
// state and the TCP port JDBC would connect to.

#include <optional>
#include <string>
#include <string_view>

#include "platform/system_inspection.h"

namespace qm::sqlserver {

// The instance's TCP/IP protocol as SQL Server's configuration keeps it in
// the registry; nothing when its keys can't be read.
struct TcpSettings {
    bool enabled = false;
    std::string port;         // IPAll TcpPort; empty when none is fixed
    std::string dynamicPort;  // IPAll TcpDynamicPorts, as the server last took it
};
std::optional<TcpSettings> ReadTcpSettings(RegistryReader& registry, std::string_view instance);

std::string InstanceStatusText(std::string_view instance, const ServiceLookup& service,
                               const std::optional<TcpSettings>& tcp);

// Empty for no instance.
std::string ReadInstanceStatus(RegistryReader& registry, ServiceInspector& services, std::string_view instance);

}  // namespace qm::sqlserver
