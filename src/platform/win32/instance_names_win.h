#pragma once

#include "platform/instance_name_source.h"

#include <string>

namespace qm::win32 {

// The instance names from the registry: the value names of a key below
// HKEY_LOCAL_MACHINE (the instance key unless a test names another), in the
// 64-bit view or the 32-bit one.
class RegistryInstanceNames final : public InstanceNameSource {
public:
    explicit RegistryInstanceNames(std::string keyPath = std::string(kInstanceNamesKeyPath));
    std::optional<std::vector<std::string>> ReadInstanceNames(RegistryView view) override;

private:
    std::string keyPath_;
};

}  // namespace qm::win32
