#pragma once

#include "sqlserver/instance_names.h"

#include <string>

namespace qm::sqlserver {

// The instance names from the registry: the value names of a key below
// HKEY_LOCAL_MACHINE (the instance key unless a test names another).
class RegistryInstanceNames final : public InstanceNameSource {
public:
    explicit RegistryInstanceNames(std::string keyPath = std::string(kInstanceNamesKeyPath));
    std::optional<std::vector<std::string>> ReadInstanceNames() override;

private:
    std::string keyPath_;
};

}  // namespace qm::sqlserver
