#pragma once

#include "platform/process_environment.h"
#include "platform/process_table.h"
#include "platform/waiting.h"

#include <string_view>

namespace qm::tomcat {

// The Windows service that a Tomcat installation registers.
inline constexpr std::string_view kTomcatServiceName = "tomcat6";

// The service half of a shutdown, kept apart so the service control stays
// with the service code.
class ServiceStopper {
public:
    virtual ~ServiceStopper() = default;
    // Asks the service to stop and returns when it has left the stop-pending
    // state, or at once when it is missing, not running or the request is refused.
    virtual void Stop(std::string_view service) = 0;
    // Whether the service is neither running nor pending; a missing service is down.
    virtual bool IsDown(std::string_view service) = 0;
};

// Whether the executable at path lies inside the installation directory
// value: letter case aside, with \ and / alike, the value without its
// trailing separators and then a separator begins the path. An empty value
// (or one of separators only) names no installation and matches nothing, and
// neither does the root of a drive or of a share (C:\, \\server\share), which
// would take in everything on it.
bool MatchesInstallation(std::string_view path, std::string_view value);

// Whether an executable name (no directory) passes the first filter of the
// walk: it contains "javaw" or "tomcat", ignoring ASCII letter case.
bool LooksLikeJavaOrTomcat(std::string_view exeName);

// Brings the local Tomcat down: stops the service, then ends every process
// whose name contains "javaw" and whose executable lies inside JAVA_HOME, and
// every one whose name contains "tomcat" and whose executable lies inside
// CATALINA_HOME, both read afresh from the environment for each process. Never
// ends this program's own process. Waits up to 5 s for the ended ones to go,
// pumping messages meanwhile. True when Tomcat is down afterwards: the service
// is down and every process found to match has ended. A process's path is
// the system's path of its image. A match that we may not open is found by
// the path it grants to a query and counts as not ended; a process that does
// not even tell its path counts neither way.
bool CloseTomcatProcess(ServiceStopper& service, ProcessTable& processes, const ProcessEnvironment& environment,
                        Waiting& waiting);

}  // namespace qm::tomcat
