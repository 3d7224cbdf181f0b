#pragma once

#include "platform/system_inspection.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::sqlserver {

// Below HKEY_LOCAL_MACHINE: one value per installed instance, named like it.
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

// The items of the instance list, read once when the window is created. A
// 32-bit instance registers in the 32-bit view of the registry, which this
// 64-bit program does not see by default: the names of the native view come
// first, then those of the 32-bit view not listed yet, each in its own order.
// A key that is missing or refused to us in one view is no error worth
// telling: that view adds nothing.
std::vector<std::string> ReadInstanceList(InstanceNameSource& source);

// The service behind an instance, named as the database server names its
// own: the default instance's service is "MSSQLSERVER", any other instance
// NAME runs as "MSSQL$NAME".
std::string ServiceNameOf(std::string_view instance);

}  // namespace qm::sqlserver
