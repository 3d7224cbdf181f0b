#pragma once

#include "platform/system_inspection.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Below HKEY_LOCAL_MACHINE: one value per installed SQL Server instance,
// named like it.
inline constexpr std::string_view kInstanceNamesKeyPath =
    "SOFTWARE\\Microsoft\\Microsoft SQL Server\\Instance Names\\SQL";

// Where the instance names come from: the value names of the instance key in
// one view of the registry, in the order the registry enumerates them (a
// default value shows as an empty name), or nothing when the key did not open.
class InstanceNameSource {
public:
    virtual ~InstanceNameSource() = default;
    virtual std::optional<std::vector<std::string>> ReadInstanceNames(RegistryView view) = 0;
};

}  // namespace qm
