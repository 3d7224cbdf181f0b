// Each port server.xml names: free, held by this installation's Tomcat, or
// held by another program, named as far as the system tells.

#include <algorithm>

#include "diagnosis/checks.h"

namespace qm::diagnosis {
namespace {

// The listener of a port; one that names its owner before one that doesn't,
// since IPv4 and IPv6 list the same port apart.
std::optional<TcpListener> ListenerOf(const std::vector<TcpListener>& listeners, unsigned port) {
    std::optional<TcpListener> found;
    for (const TcpListener& listener : listeners) {
        if (listener.port != port) continue;
        if (listener.ownerProcessId != 0) return listener;
        found = listener;
    }
    return found;
}

// "，它是服务 A、B" for the services running in that process.
std::string ServicesOf(std::uint32_t processId, Survey& survey) {
    const auto& services = survey.AllServices();
    if (!services) return {};
    std::string names;
    for (const ServiceDescription& service : *services)
        if (service.processId == processId) names += (names.empty() ? "" : "、") + service.name;
    return names.empty() ? names : "，它是服务 " + names;
}

bool InstallationRunning(Survey& survey, const Findings& findings) {
    const auto& candidates = survey.TomcatCandidates();
    return std::any_of(candidates.begin(), candidates.end(),
                       [&](const ProcessFacts& process) { return BelongsToInstallation(process, findings); });
}

// How far above a port the search for a free one goes.
constexpr unsigned kFreePortSearch = 100;
constexpr unsigned kHighestPort = 65535;

// Another program holds the port: the connector moves, the shutdown port stays.
std::optional<Fix> MovingFix(const ServerPort& port, const Findings& findings, NetworkInspector& network) {
    if (!port.connector || findings.catalinaHome.empty()) return std::nullopt;
    const std::optional<unsigned> free = FreePortAbove(port.number, findings.ports, network);
    if (!free) return std::nullopt;
    return PortFix{tomcat::ServerXmlPath(findings.catalinaHome), *port.connector, port.use, port.number, *free, true};
}

}  // namespace

std::optional<unsigned> FreePortAbove(unsigned port, const std::vector<ServerPort>& named, NetworkInspector& network) {
    const std::optional<std::vector<TcpListener>> listeners = network.Listeners();
    if (!listeners) return std::nullopt;
    for (unsigned candidate = port + 1; candidate <= kHighestPort && candidate <= port + kFreePortSearch; ++candidate) {
        const auto same = [&](const auto& other) { return other.port == candidate; };
        const auto sameNumber = [&](const ServerPort& other) { return other.number == candidate; };
        if (std::any_of(named.begin(), named.end(), sameNumber)) continue;
        if (std::any_of(listeners->begin(), listeners->end(), same)) continue;
        if (network.TryBind(static_cast<std::uint16_t>(candidate)) == BindOutcome::Free) return candidate;
    }
    return std::nullopt;
}

void CheckPorts(const Inspectors& inspectors, Survey& survey, const Findings& findings, std::vector<Row>& rows) {
    GroupRows ports(rows, Group::Ports);
    if (findings.ports.empty()) return;
    // The listener table is costly (the system maps every socket to its
    // process) and only says who holds a port that is not free.
    std::optional<std::optional<std::vector<TcpListener>>> listeners;
    for (const ServerPort& port : findings.ports) {
        const std::string item = "端口 " + std::to_string(port.number);
        const std::string named = item + "（" + port.use + "）";
        const BindOutcome bind = inspectors.network.TryBind(static_cast<std::uint16_t>(port.number));
        if (bind == BindOutcome::Free) {
            ports.Add(item, Status::Ok, named + " 空闲");
            continue;
        }
        if (!listeners) listeners = inspectors.network.Listeners();
        const std::optional<TcpListener> listener = *listeners ? ListenerOf(**listeners, port.number) : std::nullopt;
        if (listener && listener->ownerProcessId != 0) {
            const std::optional<ProcessFacts> owner = survey.Process(listener->ownerProcessId);
            if (owner && BelongsToInstallation(*owner, findings)) {
                ports.Add(item, Status::Ok, named + "：Tomcat 正在运行，" + DescribeProcess(*owner));
                continue;
            }
            if (owner) {
                ports.Add(item, Status::Error,
                          named + " 被 " + DescribeProcess(*owner) + " 占用" + ServicesOf(owner->id, survey),
                          MovingFix(port, findings, inspectors.network));
                continue;
            }
        }
        if (!listener && bind == BindOutcome::Unknown) {
            ports.Add(item, Status::Notice, "无法检查" + named + "是否空闲");
            continue;
        }
        // Taken, and the system did not say by whom.
        if (InstallationRunning(survey, findings))
            ports.Add(item, Status::Notice,
                      named + " 已被占用，系统没有说明占用它的程序；本安装的 Tomcat 正在运行，可能就是它");
        else
            ports.Add(item, Status::Error, named + " 被其他程序占用（系统没有说明是哪个程序）",
                      MovingFix(port, findings, inspectors.network));
    }
}

}  // namespace qm::diagnosis
