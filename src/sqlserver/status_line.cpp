#include "sqlserver/status_line.h"

#include "platform/instance_name_source.h"
#include "services/service_control.h"
#include "sqlserver/instance_keys.h"
#include "sqlserver/instance_names.h"

namespace qm::sqlserver {
std::optional<TcpSettings> ReadTcpSettings(RegistryReader& registry, std::string_view instance) {
    const std::optional<InstanceKey> key = InstanceKeyOf(registry, instance);
    if (!key) return std::nullopt;
    const std::string tcp = TcpKeyPath(*key);
    const std::optional<std::uint32_t> enabled = registry.ReadDword(tcp, "Enabled", key->view);
    if (!enabled) return std::nullopt;
    return TcpSettings{*enabled != 0, registry.ReadString(tcp + "\\IPAll", "TcpPort", key->view).value_or(""),
                       registry.ReadString(tcp + "\\IPAll", "TcpDynamicPorts", key->view).value_or("")};
}

std::string InstanceStatusText(std::string_view instance, const ServiceLookup& service,
                               const std::optional<TcpSettings>& tcp) {
    std::string text = "服务 " + ServiceNameOf(instance) + "：";
    if (service.error == services::kServiceDoesNotExist)
        text += "未安装";
    else if (service.error != 0)
        text += "无法查询";
    else
        text += services::ServiceStateInWords(service.service.state);
    if (!tcp) return text + " · TCP/IP 设置未知";
    if (!tcp->enabled) return text + " · TCP/IP 未启用";
    if (!tcp->port.empty()) return text + " · TCP 端口 " + tcp->port;
    if (!tcp->dynamicPort.empty()) return text + " · TCP 动态端口 " + tcp->dynamicPort;
    return text + " · TCP 端口未设置";
}

std::string ReadInstanceStatus(RegistryReader& registry, ServiceInspector& services, std::string_view instance) {
    if (instance.empty()) return {};
    return InstanceStatusText(instance, services.Describe(ServiceNameOf(instance)),
                              ReadTcpSettings(registry, instance));
}

}  // namespace qm::sqlserver
