#include "sqlserver/instance_keys.h"

#include "platform/instance_name_source.h"

namespace qm::sqlserver {

std::optional<InstanceKey> InstanceKeyOf(RegistryReader& registry, std::string_view instance) {
    for (RegistryView view : {RegistryView::Native, RegistryView::Wow32})
        if (auto id = registry.ReadString(kInstanceNamesKeyPath, instance, view); id && !id->empty())
            return InstanceKey{std::move(*id), view};
    return std::nullopt;
}

std::string ServerKeyPath(const InstanceKey& key) {
    return "SOFTWARE\\Microsoft\\Microsoft SQL Server\\" + key.id + "\\MSSQLServer";
}

std::string TcpKeyPath(const InstanceKey& key) { return ServerKeyPath(key) + "\\SuperSocketNetLib\\Tcp"; }

}  // namespace qm::sqlserver
