#pragma once

// What a start of the installation's service comes to after the service
// manager reports it running: the runner reports running once it has made
// the JVM, and a Tomcat that then fails ends seconds later or runs without
// serving. The click that started it watches on until Tomcat serves, the
// service ends, a log tells of a failure, or the bound has passed.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnosis/log_events.h"
#include "diagnosis/log_growth.h"
#include "platform/clock.h"
#include "platform/process_environment.h"
#include "platform/service_manager.h"
#include "platform/system_inspection.h"
#include "platform/waiting.h"
#include "tomcat/installation.h"

namespace qm::diagnosis {

// A Tomcat with many webapps takes long to serve.
inline constexpr std::chrono::seconds kStartBound{90};
// Without an HTTP connector nothing tells that Tomcat serves: running this
// long with no failure in its logs counts as started.
inline constexpr std::chrono::seconds kQuietStart{10};
inline constexpr unsigned kStartPollMs = 500;

struct StartWatchPorts {
    ServiceInspector& services;
    NetworkInspector& network;
    FileInspector& files;
    Waiting& waiting;
    Clock& clock;
};

// What the start is about, read before the click's start request.
struct StartPlan {
    std::string service;
    std::optional<unsigned> connectorPort;  // server.xml's HTTP/1.1 connector; none when it names none
    LogPlace logs;
    LogContext context;
};

// The machine right before the start request.
struct StartMark {
    std::chrono::milliseconds at{};
    LogMark logs;
    bool portHeld = false;  // another program listened on the connector's port
};
StartMark MarkStart(const StartPlan& plan, StartWatchPorts ports);

enum class StartEnd {
    Serves,       // the connector's port is listened on by the service
    Quiet,        // no connector, and running after kQuietStart with no failure
    Bound,        // still running at kStartBound
    Ended,        // the service is no longer running
    FailedInLog,  // a log gained a line that tells of a start failure
    PortHeld,     // the connector's port was another program's before the start
};
inline bool Started(StartEnd end) { return end == StartEnd::Serves || end == StartEnd::Quiet || end == StartEnd::Bound; }

// "正在等待 Tomcat 在端口 8080 上监听… 3 秒": what the page says meanwhile.
std::string WaitingText(const StartPlan& plan, std::chrono::seconds waited);

// Watches the running service from the mark on, pumping the window's
// messages between looks; tells `say` what it waits for at each look.
StartEnd WatchStart(const StartPlan& plan, const StartMark& mark, StartWatchPorts ports,
                    const std::function<void(const std::string&)>& say);

// The events that the logs of the place gained since the mark and that tell
// of a start failure, each with the log it is in.
struct StartFailureEvent {
    GrownLog log;  // its text is the quoted event
    ExplainedEvent explained;
};
std::vector<StartFailureEvent> StartFailuresSince(FileInspector& files, const StartPlan& plan, const StartMark& mark);

// A start of the installation's service that failed, as its click saw it.
struct StartAttempt {
    StartPlan plan;
    StartMark mark;
    StartEnd end = StartEnd::Ended;
};

}  // namespace qm::diagnosis

namespace qm::diagnosis {

// The plan for a start of the installation's service: its connector's port
// in server.xml, its logs and the runner that names them.
StartPlan PlanStart(const tomcat::Installation& installation, FileInspector& files, RegistryReader& registry,
                    const ProcessEnvironment& environment);

struct StartOutcome {
    bool started = false;
    // What the diagnosis is told of a start that failed.
    std::optional<StartAttempt> failed;
};

// RunService for the plan's service and, once it says "success", the watch:
// started only when the watch ends in a start.
StartOutcome StartServiceAndWatch(ServiceManager& manager, const StartPlan& plan, StartWatchPorts ports,
                                  const std::function<void(const std::string&)>& say);

}  // namespace qm::diagnosis
