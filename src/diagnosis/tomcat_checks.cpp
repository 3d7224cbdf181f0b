// CATALINA_HOME: the directory, its service runner and the ports server.xml
// makes Tomcat bind.

#include <algorithm>
#include <map>
#include <new>
#include <stdexcept>

#include "diagnosis/checks.h"
#include "tomcat/notice.h"
#include "tomcat/process_shutdown.h"
#include "tomcat/server_xml_port.h"
#include "xml/xml_file.h"

namespace qm::diagnosis {
namespace {

using xml::XmlDocument;
using xml::XmlNodeId;

constexpr std::string_view kShutdownPortUse = "关闭端口";
// What Tomcat takes for a connector that names no protocol.
constexpr std::string_view kDefaultProtocol = "HTTP/1.1";

void CheckServiceRunner(const Inspectors& inspectors, const Findings& findings, GroupRows& rows) {
    const std::string runner = JoinPath(findings.catalinaHome, "bin\\tomcat6.exe");
    if (!inspectors.files.IsFile(runner)) {
        rows.Add("tomcat6.exe", Status::Error, runner + " 不存在：无法以服务方式运行 Tomcat");
        return;
    }
    const std::optional<std::string> head = inspectors.files.ReadHead(runner, kPeHeadBytes);
    const std::optional<Bitness> bitness = head ? PeBitness(*head) : std::nullopt;
    if (!bitness) {
        rows.Add("tomcat6.exe", Status::Notice, runner + "：无法读出它是 32 位还是 64 位");
        return;
    }
    const std::string bits(BitnessText(*bitness));
    if (findings.jvmBitness && *findings.jvmBitness != *bitness) {
        rows.Add("tomcat6.exe", Status::Error,
                 "tomcat6.exe 为 " + bits + "，JVM 为 " + std::string(BitnessText(*findings.jvmBitness)) +
                     "：服务无法加载这个 JVM（" + runner + "）");
        return;
    }
    rows.Add("tomcat6.exe", Status::Ok, runner + "，" + bits);
}

std::optional<XmlNodeId> FirstElementNamed(const XmlDocument& document, XmlNodeId parent, std::string_view name) {
    for (std::optional<XmlNodeId> child = document.FirstChild(parent); child; child = document.NextSibling(*child))
        if (document.Kind(*child) == xml::XmlNodeKind::Element && document.LocalName(*child) == name) return child;
    return std::nullopt;
}

std::vector<XmlNodeId> ElementsNamed(const XmlDocument& document, XmlNodeId parent, std::string_view name) {
    std::vector<XmlNodeId> found;
    for (std::optional<XmlNodeId> child = document.FirstChild(parent); child; child = document.NextSibling(*child))
        if (document.Kind(*child) == xml::XmlNodeKind::Element && document.LocalName(*child) == name)
            found.push_back(*child);
    return found;
}

// A port as Tomcat reads it: digits, blanks around them allowed.
std::optional<unsigned> PortNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > tomcat::kHighestPort) return std::nullopt;
    return value;
}

struct PortsInFile {
    std::vector<ServerPort> all;  // as often as the file names them
    std::vector<std::string> unreadable;
};

void AddPort(PortsInFile& ports, const std::optional<std::string>& text, std::string_view use) {
    if (!text) return;
    const std::optional<unsigned> number = PortNumber(*text);
    if (!number) {
        ports.unreadable.push_back(std::string(use) + " " + *text);
        return;
    }
    // Port 0 lets the system choose; no fixed port to check.
    if (*number != 0) ports.all.push_back({*number, std::string(use)});
}

PortsInFile PortsOf(const XmlDocument& document) {
    PortsInFile ports;
    const std::optional<XmlNodeId> server = FirstElementNamed(document, document.DocumentNode(), "Server");
    if (!server) return ports;
    // -1 turns the shutdown port off.
    const std::optional<std::string> shutdown = document.GetAttribute(*server, "port");
    if (shutdown != "-1") AddPort(ports, shutdown, kShutdownPortUse);
    for (XmlNodeId service : ElementsNamed(document, *server, "Service"))
        for (XmlNodeId connector : ElementsNamed(document, service, "Connector"))
            AddPort(ports, document.GetAttribute(connector, "port"),
                    document.GetAttribute(connector, "protocol").value_or(std::string(kDefaultProtocol)));
    return ports;
}

void CheckServerXml(Findings& findings, GroupRows& rows) {
    const std::string path = tomcat::ServerXmlPath(findings.catalinaHome);
    xml::LoadResult loaded;
    // The document reports bad input as values; a path the file system
    // can't take throws, and is just as unreadable here.
    try {
        loaded = xml::LoadXmlFile(path);
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
        rows.Add("server.xml", Status::Error, "无法读取 " + shown + "：" + reason);
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
                     " 次（" + names + "）：Tomcat 无法启动");
    }
}

}  // namespace

void CheckTomcat(const Inspectors& inspectors, Findings& findings, std::vector<Row>& rows) {
    GroupRows tomcat(rows, Group::Tomcat);
    findings.catalinaHome = inspectors.environment.Get(tomcat::kCatalinaHomeVariable);
    findings.serviceName = tomcat::kTomcatServiceName;
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

    CheckServiceRunner(inspectors, findings, tomcat);
    CheckServerXml(findings, tomcat);
}

}  // namespace qm::diagnosis
