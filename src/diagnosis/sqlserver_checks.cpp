// Each SQL Server instance: its service, whether JDBC can reach it over TCP,
// and for named instances the Browser that tells JDBC their port.

#include "diagnosis/checks.h"
#include "services/service_control.h"
#include "sqlserver/instance_names.h"

namespace qm::diagnosis {
namespace {

constexpr std::uint32_t kServiceDoesNotExist = 1060;
constexpr std::string_view kBrowserService = "SQLBrowser";

void ReportService(ServiceInspector& services, const std::string& name, const std::string& item, Status whenNotRunning,
                   std::string_view whyRunning, GroupRows& rows) {
    const ServiceLookup lookup = services.Describe(name);
    if (lookup.error == kServiceDoesNotExist)
        rows.Add(item, whenNotRunning, "没有安装服务 " + name + std::string(whyRunning));
    else if (lookup.error != 0)
        rows.Add(item, Status::Notice, "无法查询服务 " + name + "（错误代码 " + std::to_string(lookup.error) + "）");
    else if (lookup.service.state == services::kRunning)
        rows.Add(item, Status::Ok, "服务 " + name + " " + ServiceStateText(lookup.service.state));
    else
        rows.Add(item, whenNotRunning,
                 "服务 " + name + " " + ServiceStateText(lookup.service.state) + std::string(whyRunning));
}

void ReportTcp(RegistryReader& registry, const std::string& instance, GroupRows& rows) {
    const std::string item = "SQL Server " + instance + " TCP/IP";
    const std::optional<InstanceKey> key = InstanceKeyOf(registry, instance);
    if (!key) {
        rows.Add(item, Status::Notice, "无法从注册表读出实例 " + instance + " 的 ID，无法检查 TCP/IP");
        return;
    }
    const std::string tcp = sqlserver::TcpKeyPath(*key);
    const std::optional<std::uint32_t> enabled = registry.ReadDword(tcp, "Enabled", key->view);
    const std::optional<std::string> port = registry.ReadString(tcp + "\\IPAll", "TcpPort", key->view);
    const std::optional<std::string> dynamicPort = registry.ReadString(tcp + "\\IPAll", "TcpDynamicPorts", key->view);
    std::string portText = "没有设置端口";
    if (port && !port->empty())
        portText = "端口 " + *port;
    else if (dynamicPort && !dynamicPort->empty())
        portText = "动态端口 " + *dynamicPort;

    if (!enabled)
        rows.Add(item, Status::Notice, "无法读出 " + key->id + " 的 TCP/IP 是否启用");
    else if (*enabled == 0)
        rows.Add(item, Status::Notice, "TCP/IP 已关闭：JDBC 无法连接（" + key->id + "）");
    else
        rows.Add(item, Status::Ok, "TCP/IP 已启用，" + portText + "（" + key->id + "）");
}

}  // namespace

void CheckSqlServer(const Inspectors& inspectors, std::vector<Row>& rows) {
    GroupRows sql(rows, Group::SqlServer);
    const std::vector<std::string> instances = sqlserver::ReadInstanceList(inspectors.instances);
    if (instances.empty()) {
        sql.Add("SQL Server", Status::Notice, "没有找到 SQL Server 实例");
        return;
    }
    bool anyNamed = false;
    for (const std::string& instance : instances) {
        const std::string service = sqlserver::ServiceNameOf(instance);
        anyNamed = anyNamed || service != instance;
        ReportService(inspectors.services, service, "SQL Server " + instance, Status::Notice, "", sql);
        ReportTcp(inspectors.registry, instance, sql);
    }
    if (anyNamed)
        ReportService(inspectors.services, std::string(kBrowserService), "SQL Server Browser", Status::Notice,
                      "：JDBC 按名称连接命名实例时需要它", sql);
}

}  // namespace qm::diagnosis
