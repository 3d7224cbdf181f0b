#pragma once

#include "platform/instance_name_source.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::sqlserver {

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
