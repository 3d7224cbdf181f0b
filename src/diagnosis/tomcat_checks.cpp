// CATALINA_HOME: the directory, the Tomcat version, its service runner and
// the ports server.xml makes Tomcat bind.

#include <algorithm>
#include <cstdio>
#include <map>
#include <new>
#include <stdexcept>
#include <utility>

#include "diagnosis/checks.h"
#include "text/port_number.h"
#include "tomcat/server_xml_port.h"
#include "tomcat/notice.h"
#include "xml/xml_file.h"

namespace qm::diagnosis {
namespace {

using xml::XmlDocument;
using xml::XmlNodeId;

constexpr std::string_view kShutdownPortUse = "关闭端口";
// What Tomcat takes for a connector that names no protocol.
constexpr std::string_view kDefaultProtocol = "HTTP/1.1";

void CheckVersion(const tomcat::Installation& installation, GroupRows& rows) {
    const tomcat::TomcatVersion& version = installation.version;
    switch (version.source) {
    case tomcat::VersionSource::ReleaseNotes:
        rows.Add("Tomcat 版本", Status::Ok, "Tomcat " + version.text + "（读自 " + installation.versionFile + "）");
        break;
    case tomcat::VersionSource::CatalinaJar:
        rows.Add("Tomcat 版本", Status::Ok,
                 "Tomcat " + version.text + "（读自 " + installation.versionFile + " 中的 ServerInfo.properties）");
        break;
    case tomcat::VersionSource::RunnerName:
        rows.Add(
            "Tomcat 版本", Status::Ok,
            "Tomcat " + version.text + "（没有 RELEASE-NOTES，主版本读自 " + installation.versionFile + " 的文件名）");
        break;
    case tomcat::VersionSource::Unknown:
        rows.Add("Tomcat 版本", Status::Notice,
                 "无法确定 Tomcat 版本：CATALINA_HOME 中没有可读的 RELEASE-NOTES，bin 中也没有 tomcat<N>.exe");
        break;
    }
}

void CheckServiceRunner(const Inspectors& inspectors, const Findings& findings, GroupRows& rows) {
    const tomcat::Installation& installation = findings.installation;
    const std::string& name = installation.runner;
    const std::string runner = tomcat::RunnerPath(findings.catalinaHome, name);
    if (!installation.runnerExists) {
        // Started from bin\startup.bat, Tomcat needs no runner; only a service
        // that runs it makes its absence an error.
        if (installation.serviceRunsRunner)
            rows.Add(name, Status::Error,
                     runner + " 不存在：无法以服务方式运行 Tomcat（服务 " + installation.service + " 运行的就是它）");
        else
            rows.Add(name, Status::Notice,
                     runner + " 不存在：无法以服务方式运行 Tomcat（用 bin\\startup.bat 启动不需要它）");
        return;
    }
    const std::optional<std::string> head = inspectors.files.ReadHead(runner, kPeHeadBytes);
    const std::optional<Bitness> bitness = head ? PeBitness(*head) : std::nullopt;
    if (!bitness) {
        rows.Add(name, Status::Notice, runner + "：无法读出它是 32 位还是 64 位");
        return;
    }
    const std::string bits(BitnessText(*bitness));
    if (findings.jvmBitness && *findings.jvmBitness != *bitness) {
        rows.Add(name, Status::Error,
                 name + " 为 " + bits + "，JVM 为 " + std::string(BitnessText(*findings.jvmBitness)) +
                     "：服务无法加载这个 JVM（" + runner + "）");
        return;
    }
    rows.Add(name, Status::Ok, runner + "，" + bits);
}

std::optional<XmlNodeId> FirstElementNamed(const XmlDocument& document, XmlNodeId parent, std::string_view name) {
    for (std::optional<XmlNodeId> child = document.FirstChild(parent); child; child = document.NextSibling(*child))
        if (document.Kind(*child) == xml::XmlNodeKind::Element && document.LocalName(*child) == name) return child;
    return std::nullopt;
}

struct PortsInFile {
    std::vector<ServerPort> all;  // as often as the file names them
    std::vector<std::string> unreadable;
};

void AddPort(PortsInFile& ports, const std::optional<std::string>& text, std::string_view use,
             std::optional<std::size_t> connector = std::nullopt) {
    if (!text) return;
    const std::optional<unsigned> number = text::PortNumber(*text);
    if (!number) {
        ports.unreadable.push_back(std::string(use) + " " + *text);
        return;
    }
    // Port 0 lets the system choose; no fixed port to check.
    if (*number != 0) ports.all.push_back({*number, std::string(use), connector});
}

PortsInFile PortsOf(const XmlDocument& document) {
    PortsInFile ports;
    const std::optional<XmlNodeId> server = FirstElementNamed(document, document.DocumentNode(), "Server");
    if (!server) return ports;
    // -1 turns the shutdown port off.
    const std::optional<std::string> shutdown = document.GetAttribute(*server, "port");
    if (shutdown != "-1") AddPort(ports, shutdown, kShutdownPortUse);
    const std::vector<XmlNodeId> connectors = tomcat::Connectors(document);
    for (std::size_t i = 0; i < connectors.size(); ++i)
        AddPort(ports, document.GetAttribute(connectors[i], "port"),
                document.GetAttribute(connectors[i], "protocol").value_or(std::string(kDefaultProtocol)), i);
    return ports;
}

// Two uses of one port: the later connector moves to the first free port above.
std::optional<Fix> SeparatingFix(const PortsInFile& ports, unsigned number, const std::string& path,
                                 NetworkInspector& network) {
    bool first = true;
    for (const ServerPort& port : ports.all) {
        if (port.number != number) continue;
        if (std::exchange(first, false) || !port.connector) continue;
        const std::optional<unsigned> free = FreePortAbove(number, ports.all, network);
        if (!free) return std::nullopt;
        return PortFix{path, *port.connector, port.use, number, *free, false};
    }
    return std::nullopt;
}

// The reader's "line 12, column 5: why" as the rows say it.
std::string WhereItStopped(const std::string& reason) {
    unsigned line = 0, column = 0;
    int used = 0;
    if (std::sscanf(reason.c_str(), "line %u, column %u: %n", &line, &column, &used) != 2 || used == 0) return reason;
    return "在第 " + std::to_string(line) + " 行第 " + std::to_string(column) + " 列停止：" + reason.substr(used);
}

void CheckServerXml(FileInspector& files, NetworkInspector& network, Findings& findings, GroupRows& rows) {
    const std::string path = tomcat::ServerXmlPath(findings.catalinaHome);
    xml::LoadResult loaded;
    // The document reports bad input as values; whatever else a read throws
    // leaves the file just as unreadable here.
    try {
        loaded = xml::LoadXmlFile(files, path);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& error) {
        loaded.error = error.what();
    }
    const std::string shown = ShownPath(path);
    if (!loaded.ok()) {
        // The reason names the file too, as it was opened.
        std::string reason = loaded.error;
        for (std::size_t at = reason.find(path); at != std::string::npos; at = reason.find(path, at + shown.size()))
            reason.replace(at, path.size(), shown);
        rows.Add("server.xml", Status::Error, "无法读取 " + shown + "：" + WhereItStopped(reason));
        return;
    }
    const PortsInFile ports = PortsOf(*loaded.document);
    std::string listed;
    std::map<unsigned, std::vector<std::string>> uses;
    for (const ServerPort& port : ports.all) {
        listed += (listed.empty() ? "" : "，") + port.use + " " + std::to_string(port.number);
        auto& usesOfPort = uses[port.number];
        if (usesOfPort.empty()) findings.ports.push_back(port);
        usesOfPort.push_back(port.use);
    }
    if (ports.all.empty())
        rows.Add("server.xml", Status::Error, shown + " 中没有找到 Tomcat 使用的端口");
    else
        rows.Add("server.xml", Status::Ok, shown + "：" + listed);

    for (const std::string& unreadable : ports.unreadable)
        rows.Add("server.xml 端口", Status::Error, "端口不是 0 到 65535 之间的数字：" + unreadable);
    for (const ServerPort& port : findings.ports) {
        const auto& usesOfPort = uses[port.number];
        if (usesOfPort.size() < 2) continue;
        std::string names;
        for (const std::string& use : usesOfPort) names += (names.empty() ? "" : "、") + use;
        rows.Add("server.xml 端口", Status::Error,
                 "端口 " + std::to_string(port.number) + " 在 server.xml 中用了 " + std::to_string(usesOfPort.size()) +
                     " 次（" + names + "）：Tomcat 无法启动",
                 SeparatingFix(ports, port.number, path, network));
    }
}

// The service under the installer's name, when it runs the installation's
// runner as a service and that runner is there. Of the services that run the
// runner, that one is taken whatever the others are, so the list of every
// service (a walk over each one's configuration) can't change the choice.
// Nothing when another service may be the installation's.
std::optional<ServiceLookup> InstallersServiceRunningRunner(const Inspectors& inspectors, const std::string& home) {
    const std::string runner = tomcat::RunnerName(home, inspectors.files);
    // A runner that is missing leaves the choice of runner to the services.
    if (!inspectors.files.IsFile(tomcat::RunnerPath(home, runner))) return std::nullopt;
    ServiceLookup lookup = inspectors.services.Describe(tomcat::DefaultServiceName(runner));
    if (lookup.error != 0) return std::nullopt;
    const tomcat::Installation chosen =
        tomcat::ReadRunnerAndService(home, inspectors.files, std::vector{lookup.service});
    if (!chosen.serviceRunsRunner || !EqualFolded(chosen.service, lookup.service.name)) return std::nullopt;
    return lookup;
}

}  // namespace

void LearnInstallation(const Inspectors& inspectors, Survey& survey, Findings& findings) {
    findings.catalinaHome = inspectors.environment.Get(tomcat::kCatalinaHomeVariable);
    const std::string& home = findings.catalinaHome;
    if (home.empty() || !inspectors.files.IsDirectory(home)) {
        findings.installation = tomcat::ReadInstallation("", inspectors.files, std::nullopt);
    } else if (std::optional<ServiceLookup> own = InstallersServiceRunningRunner(inspectors, home)) {
        findings.installation = tomcat::ReadInstallation(home, inspectors.files, std::vector{own->service});
        findings.serviceLookup = std::move(own);
    } else {
        findings.installation = tomcat::ReadInstallation(home, inspectors.files, survey.AllServices());
    }
    findings.serviceName = findings.installation.service;
}

void CheckTomcat(const Inspectors& inspectors, Findings& findings, std::vector<Row>& rows) {
    GroupRows tomcat(rows, Group::Tomcat);
    const std::string& home = findings.catalinaHome;
    const bool exists = !home.empty() && inspectors.files.IsDirectory(home);
    if (home.empty())
        tomcat.Add("CATALINA_HOME", Status::Error, "没有设置 CATALINA_HOME");
    else if (!exists)
        tomcat.Add("CATALINA_HOME", Status::Error, "CATALINA_HOME 指向的目录不存在：" + home);
    else
        tomcat.Add("CATALINA_HOME", Status::Ok, home);
    CheckMachineValue(inspectors, tomcat::kCatalinaHomeVariable, tomcat);
    if (!exists) return;

    CheckVersion(findings.installation, tomcat);
    CheckServiceRunner(inspectors, findings, tomcat);
    CheckServerXml(inspectors.files, inspectors.network, findings, tomcat);
}

}  // namespace qm::diagnosis
