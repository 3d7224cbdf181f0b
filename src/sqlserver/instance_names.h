#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::sqlserver {

// Below HKEY_LOCAL_MACHINE: one value per installed instance, named like it.
inline constexpr std::string_view kInstanceNamesKeyPath = "SOFTWARE\\Microsoft\\Microsoft SQL Server\\Instance Names\\SQL";

// Where the instance names come from: the value names of the instance key in
// the order the registry enumerates them (a default value shows as an empty
// name), or nothing when the key did not open.
class InstanceNameSource {
public:
    virtual ~InstanceNameSource() = default;
    virtual std::optional<std::vector<std::string>> ReadInstanceNames() = 0;
};

// The items of the instance list, read once when the window is created. A
// key that is missing or refused to us is no error worth telling: the list
// is simply empty.
std::vector<std::string> ReadInstanceList(InstanceNameSource& source);

}  // namespace qm::sqlserver
