#include "tomcat/tomcat_service.h"

#include "services/service_control.h"

namespace qm::tomcat {

void ServiceControlStopper::Stop(std::string_view service) { services::StopServies(manager_, waiting_, service); }

bool ServiceControlStopper::IsDown(std::string_view service) { return services::IsStoppedOrAbsent(manager_, service); }

}  // namespace qm::tomcat
