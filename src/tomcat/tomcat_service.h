#pragma once

#include "platform/service_manager.h"
#include "platform/waiting.h"
#include "tomcat/process_shutdown.h"

namespace qm::tomcat {

// The service half of a Tomcat shutdown, through the service operations.
class ServiceControlStopper final : public ServiceStopper {
public:
    ServiceControlStopper(ServiceManager& manager, Waiting& waiting) noexcept : manager_(manager), waiting_(waiting) {}
    void Stop(std::string_view service) override;
    // Down means stopped, or not installed at all (the manager says there is
    // no such service). Pending, running, paused or unknown are not down,
    // and neither is a service or manager that we may not even open.
    bool IsDown(std::string_view service) override;

private:
    ServiceManager& manager_;
    Waiting& waiting_;
};

}  // namespace qm::tomcat
