#include "tomcat/status_line.h"

#include <algorithm>

#include "services/service_control.h"
#include "text/port_number.h"
#include "tomcat/notice.h"
#include "tomcat/server_xml_port.h"
#include "xml/xml_file.h"

namespace qm::tomcat {

std::optional<unsigned> HttpConnectorPort(FileInspector& files, std::string_view catalinaHome) {
    if (catalinaHome.empty()) return std::nullopt;
    const xml::LoadResult loaded = xml::LoadXmlFile(files, ServerXmlPath(catalinaHome));
    if (!loaded.ok()) return std::nullopt;
    const std::optional<HttpConnector> connector = FindHttpConnector(*loaded.document);
    if (!connector) return std::nullopt;
    const std::optional<unsigned> port = text::PortNumber(connector->port);
    if (!port || *port == 0) return std::nullopt;
    return port;
}

namespace {

// "服务 Tomcat9：运行中", or what stands in for an installation without a service of its own.
std::string ServicePart(const TomcatStatusFacts& facts) {
    if (facts.service.empty()) {
        if (facts.othersService.empty()) return "没有自己的服务";
        return "没有自己的服务（" + facts.othersService + " 属于另一个 Tomcat 安装）";
    }
    std::string text = "服务 " + facts.service + "：";
    if (facts.lookup.error == services::kServiceDoesNotExist) return text + "未安装";
    if (facts.lookup.error != 0) return text + "无法查询";
    return text + std::string(services::ServiceStateInWords(facts.lookup.service.state));
}

}  // namespace

std::string TomcatStatusText(const TomcatStatusFacts& facts) {
    if (facts.home.empty()) return "未设置Tomcat安装目录(CATALINA_HOME)";
    std::string text = facts.version.text.empty() ? std::string("Tomcat（版本未知）") : "Tomcat " + facts.version.text;
    text += " · " + ServicePart(facts);
    if (!facts.connectorPort) return text + " · server.xml 中没有 HTTP/1.1 连接器";
    text += " · 端口 " + std::to_string(*facts.connectorPort) + "：";
    if (!facts.listening) return text + "无法读取监听表";
    return text + (*facts.listening ? "正在监听" : "未监听");
}

std::string TomcatStatus::Read(TomcatStatusPorts ports, bool again) {
    TomcatStatusFacts facts;
    facts.home = ports.environment.Get(kCatalinaHomeVariable);
    if (facts.home.empty()) return TomcatStatusText(facts);
    if (again || home_ != facts.home) {
        installation_ = ReadInstallation(facts.home, ports.files, ports.services);
        port_ = HttpConnectorPort(ports.files, facts.home);
        home_ = facts.home;
    }
    facts.version = installation_.version;
    facts.service = installation_.service;
    if (installation_.otherInstallationsService) facts.othersService = installation_.otherInstallationsService->name;
    if (!facts.service.empty()) facts.lookup = ports.services.Describe(facts.service);
    facts.connectorPort = port_;
    if (port_) {
        const std::optional<std::vector<TcpListener>> listeners = ports.network.Listeners();
        if (listeners)
            facts.listening = std::any_of(listeners->begin(), listeners->end(),
                                          [&](const TcpListener& listener) { return listener.port == *port_; });
    }
    return TomcatStatusText(facts);
}

}  // namespace qm::tomcat
