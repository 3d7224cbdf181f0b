#include "sqlserver/instance_names.h"

namespace qm::sqlserver {

std::vector<std::string> ReadInstanceList(InstanceNameSource& source) {
    std::optional<std::vector<std::string>> names = source.ReadInstanceNames();
    return names ? std::move(*names) : std::vector<std::string>();
}

}  // namespace qm::sqlserver
