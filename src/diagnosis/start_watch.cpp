#include "diagnosis/start_watch.h"

#include <algorithm>

#include "services/service_control.h"
#include "tomcat/status_line.h"

namespace qm::diagnosis {
namespace {

constexpr std::size_t kEventsPerLog = 4;

bool Listened(const std::vector<TcpListener>& listeners, unsigned port) {
    return std::any_of(listeners.begin(), listeners.end(),
                       [&](const TcpListener& listener) { return listener.port == port; });
}

// The service's process listens on the port; where the system does not say
// who listens (PID 0), a listener that came after the mark is taken for it.
bool Serves(const std::vector<TcpListener>& listeners, unsigned port, std::uint32_t processId) {
    return std::any_of(listeners.begin(), listeners.end(), [&](const TcpListener& listener) {
        return listener.port == port && (listener.ownerProcessId == 0 || listener.ownerProcessId == processId);
    });
}

}  // namespace

StartMark MarkStart(const StartPlan& plan, StartWatchPorts ports) {
    StartMark mark;
    mark.at = ports.clock.Now();
    mark.logs = MarkLogs(ports.files, plan.logs);
    if (plan.connectorPort) {
        const std::optional<std::vector<TcpListener>> listeners = ports.network.Listeners();
        mark.portHeld = listeners && Listened(*listeners, *plan.connectorPort);
    }
    return mark;
}

std::string WaitingText(const StartPlan& plan, std::chrono::seconds waited) {
    const std::string seconds = std::to_string(waited.count()) + " 秒";
    if (!plan.connectorPort) return "正在等待 Tomcat 启动… " + seconds;
    return "正在等待 Tomcat 在端口 " + std::to_string(*plan.connectorPort) + " 上监听… " + seconds;
}

std::vector<StartFailureEvent> StartFailuresSince(FileInspector& files, const StartPlan& plan, const StartMark& mark) {
    std::vector<StartFailureEvent> found;
    for (GrownLog& log : LogsSince(files, plan.logs, mark.logs))
        for (FoundFailure& failure : FailuresIn(log.text, plan.context, kEventsPerLog))
            if (failure.explained && IsStartFailure(failure.explained->kind))
                found.push_back({{log.path, log.family, std::move(failure.quoted)}, std::move(*failure.explained)});
    return found;
}

StartEnd WatchStart(const StartPlan& plan, const StartMark& mark, StartWatchPorts ports,
                    const std::function<void(const std::string&)>& say) {
    for (;;) {
        const auto waited = std::chrono::duration_cast<std::chrono::seconds>(ports.clock.Now() - mark.at);
        const ServiceLookup lookup = ports.services.Describe(plan.service);
        const std::uint32_t state = lookup.service.state;
        if (lookup.error != 0 || state == services::kStopped || state == services::kStopPending) return StartEnd::Ended;
        // The port was taken before the start: this Tomcat can't have it.
        if (plan.connectorPort && mark.portHeld) return StartEnd::PortHeld;
        if (!StartFailuresSince(ports.files, plan, mark).empty()) return StartEnd::FailedInLog;
        if (plan.connectorPort) {
            const std::optional<std::vector<TcpListener>> listeners = ports.network.Listeners();
            if (listeners && Serves(*listeners, *plan.connectorPort, lookup.service.processId)) return StartEnd::Serves;
        } else if (waited >= kQuietStart) {
            return StartEnd::Quiet;
        }
        if (waited >= kStartBound) return StartEnd::Bound;
        say(WaitingText(plan, waited));
        ports.waiting.Sleep(kStartPollMs);
        ports.waiting.PumpPendingMessages();
    }
}

namespace {

// tomcat10.exe runs Tomcat 10; 0 when the name tells nothing.
int MajorOfRunner(std::string_view runner) {
    int major = 0;
    for (char c : runner.substr(std::min<std::size_t>(6, runner.size())))
        if (c >= '0' && c <= '9')
            major = major * 10 + (c - '0');
        else
            break;
    return major;
}

}  // namespace

StartPlan PlanStart(const tomcat::Installation& installation, FileInspector& files, RegistryReader& registry,
                    const ProcessEnvironment& environment) {
    StartPlan plan;
    plan.service = installation.service;
    plan.connectorPort = tomcat::HttpConnectorPort(files, installation.home);
    plan.logs = LogPlaceOf(installation.home, ReadRunnerLog(registry, environment, installation.service),
                           installation.service);
    plan.context = {installation.runner,
                    installation.version.major ? installation.version.major : MajorOfRunner(installation.runner)};
    return plan;
}

StartOutcome StartServiceAndWatch(ServiceManager& manager, const StartPlan& plan, StartWatchPorts ports,
                                  const std::function<void(const std::string&)>& say) {
    const StartMark mark = MarkStart(plan, ports);
    if (services::RunService(manager, ports.waiting, plan.service) != services::kStartSucceeded)
        return {false, StartAttempt{plan, mark, StartEnd::Ended}};
    const StartEnd end = WatchStart(plan, mark, ports, say);
    if (Started(end)) return {true, std::nullopt};
    return {false, StartAttempt{plan, mark, end}};
}

}  // namespace qm::diagnosis
