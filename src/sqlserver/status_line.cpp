#include "sqlserver/status_line.h"

#include "platform/instance_name_source.h"
#include "services/service_control.h"
#include "sqlserver/instance_names.h"

namespace qm::sqlserver {
namespace {

constexpr std::string_view kServerKeyPath = "SOFTWARE\\Microsoft\\Microsoft SQL Server\\";
constexpr std::string_view kTcpKeyPath = "\\MSSQLServer\\SuperSocketNetLib\\Tcp";

}  // namespace

std::optional<TcpSettings> ReadTcpSettings(RegistryReader& registry, std::string_view instance) {
    // A 32-bit server on 64-bit Windows keeps its keys in the 32-bit view.
    for (RegistryView view : {RegistryView::Native, RegistryView::Wow32}) {
        const std::optional<std::string> id = registry.ReadString(kInstanceNamesKeyPath, instance, view);
        if (!id || id->empty()) continue;
        const std::string tcp = std::string(kServerKeyPath) + *id + std::string(kTcpKeyPath);
        const std::optional<std::uint32_t> enabled = registry.ReadDword(tcp, "Enabled", view);
        if (!enabled) return std::nullopt;
        return TcpSettings{*enabled != 0, registry.ReadString(tcp + "\\IPAll", "TcpPort", view).value_or(""),
                           registry.ReadString(tcp + "\\IPAll", "TcpDynamicPorts", view).value_or("")};
    }
    return std::nullopt;
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
    return InstanceStatusText(instance, services.Describe(ServiceNameOf(instance)), ReadTcpSettings(registry, instance));
}

}  // namespace qm::sqlserver
