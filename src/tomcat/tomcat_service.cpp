#include "tomcat/tomcat_service.h"

#include "services/service_control.h"

namespace qm::tomcat {

void ServiceControlStopper::Stop(std::string_view service) { services::StopServies(manager_, waiting_, service); }

bool ServiceControlStopper::IsDown(std::string_view service) {
    const std::string state = services::GetServiceState(manager_, service);
    return state == services::ServiceStateWord(services::kStopped) || state == services::CannotOpenService(service);
}

}  // namespace qm::tomcat
