#include "tomcat/tomcat_page.h"
#include "ui/application_win.h"
#include "ui/form1_win.h"

// The Tomcat page: clear the work directory, start as a program, start as a
// service, stop. Each click works from the environment of that moment.

namespace qm::ui {

void TForm1::cxButton7Click() { ShowInformationBox(tomcat::ClearWorkDirectory(tomcat_.tomcat)); }

void TForm1::cxButton8Click() {
    const tomcat::TomcatPorts& ports = tomcat_.tomcat;
    if (const auto notice = tomcat::StartTomcatProgram(ports.environment, ports.files, ports.installedServices, ports.shell))
        ShowInformationBox(*notice);
}

void TForm1::cxButton9Click() { ShowInformationBox(tomcat::StartTomcatService(tomcat_.tomcat, tomcat_.services)); }

void TForm1::cxButton10Click() { ShowInformationBox(tomcat::StopTomcat(tomcat_.tomcat)); }

}  // namespace qm::ui
