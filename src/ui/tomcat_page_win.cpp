#include "ui/form1_win.h"

#include "services/service_control.h"
#include "tomcat/tomcat_page.h"
#include "tomcat/tomcat_service.h"
#include "ui/shell_win.h"

// Tomcat page: clear the work directory, start as a program, start as a
// service, stop. Each click works from the environment of that moment.

namespace qm::ui {

void TForm1::cxButton7Click() { ShowInformationBox(tomcat::ClearWorkDirectory(ports_.Tomcat())); }

void TForm1::cxButton8Click() {
    if (const auto notice =
            tomcat::StartTomcatProgram(ports_.environment, ports_.files, ports_.installedServices, ports_.shell))
        ShowInformationBox(*notice);
}

void TForm1::cxButton9Click() {
    const std::string service = tomcat::CurrentInstallation(ports_.Tomcat()).service;
    const std::string result = services::RunService(ports_.services, ports_.waiting, service);
    ShowInformationBox(tomcat::ServiceStartNotice(result));
}

void TForm1::cxButton10Click() { ShowInformationBox(tomcat::StopTomcat(ports_.Tomcat())); }

}  // namespace qm::ui
