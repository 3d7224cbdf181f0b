#pragma once

#include "platform/process_environment.h"
#include "platform/process_table.h"
#include "platform/waiting.h"
#include "tomcat/installation.h"

#include <string_view>

namespace qm::tomcat {

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

// Whether an executable name (no directory) passes the first filter of the
// walk: it contains "javaw" or "tomcat", ignoring ASCII letter case.
bool LooksLikeJavaOrTomcat(std::string_view exeName);

// Brings the local Tomcat down: stops the installation's service (serviceName;
// empty when it has none),
// then ends every process whose name contains "javaw" and whose executable lies inside JAVA_HOME, and
// every one whose name contains "tomcat" and whose executable lies inside
// CATALINA_HOME, both read afresh from the environment for each process. Never
// ends this program's own process. Waits up to 5 s for the ended ones to go,
// pumping messages meanwhile. True when Tomcat is down afterwards: the service
// is down and every process found to match has ended. A process's path is
// the system's path of its image. A match that we may not open is found by
// the path it grants to a query and counts as not ended; a process that does
// not even tell its path counts neither way.
bool CloseTomcatProcess(ServiceStopper& service, std::string_view serviceName, ProcessTable& processes,
                        const ProcessEnvironment& environment, Waiting& waiting);

}  // namespace qm::tomcat
