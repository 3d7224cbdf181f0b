#pragma once

// Where an installed SQL Server instance keeps its settings in the registry.

#include <optional>
#include <string>
#include <string_view>

#include "platform/system_inspection.h"

namespace qm::sqlserver {

// The id the instance-names key gives an instance (MSSQL15.SQLEXPRESS), in
// the registry view it was found in: a 32-bit server on 64-bit Windows keeps
// its keys in the 32-bit view.
struct InstanceKey {
    std::string id;
    RegistryView view = RegistryView::Native;
};
std::optional<InstanceKey> InstanceKeyOf(RegistryReader& registry, std::string_view instance);

// The instance's server settings (LoginMode, ...).
std::string ServerKeyPath(const InstanceKey& key);
// Its TCP/IP protocol: Enabled, and IPAll's TcpPort and TcpDynamicPorts below.
std::string TcpKeyPath(const InstanceKey& key);

}  // namespace qm::sqlserver
