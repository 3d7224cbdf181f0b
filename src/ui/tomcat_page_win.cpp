#include "services/service_control.h"
#include "tomcat/tomcat_page.h"
#include "tomcat/tomcat_service.h"
#include "ui/page_controllers_win.h"
#include "ui/shell_win.h"

namespace qm::ui {

void TomcatPageController::ClearWorkDirectory() { ShowInformationBox(tomcat::ClearWorkDirectory(ports_.Tomcat())); }

void TomcatPageController::StartProgram() {
    if (const auto notice =
            tomcat::StartTomcatProgram(ports_.environment, ports_.files, ports_.installedServices, ports_.shell))
        ShowInformationBox(*notice);
}

void TomcatPageController::StartService() {
    const std::string service = tomcat::CurrentInstallation(ports_.Tomcat()).service;
    const std::string result = services::RunService(ports_.services, ports_.waiting, service);
    ShowInformationBox(tomcat::ServiceStartNotice(result));
}

void TomcatPageController::Stop() { ShowInformationBox(tomcat::StopTomcat(ports_.Tomcat())); }

}  // namespace qm::ui
