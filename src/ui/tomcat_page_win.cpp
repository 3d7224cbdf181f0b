#include "diagnosis/start_watch.h"
#include "tomcat/tomcat_page.h"
#include "ui/controls_win.h"
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

// The click watches on after the service manager says running, saying on the
// status line what it waits for, until Tomcat serves; a start that failed
// then shows the diagnosis page with this start's rows first.
void TForm1::cxButton9Click() {
    const tomcat::TomcatPorts& ports = tomcat_.tomcat;
    const tomcat::Installation installation = tomcat::CurrentInstallation(ports);
    const diagnosis::StartPlan plan =
        diagnosis::PlanStart(installation, ports.files, tomcat_.registry, ports.environment);
    const HWND line = Control(ControlId::TomcatStatus);
    const diagnosis::StartOutcome outcome = diagnosis::StartServiceAndWatch(
        tomcat_.services, plan, {ports.installedServices, tomcat_.network, ports.files, ports.waiting, tomcat_.clock},
        [line](const std::string& waiting) { SetControlText(line, waiting); });
    ShowInformationBox(outcome.started ? tomcat::kServiceStartedNotice : tomcat::kServiceStartFailedNotice);
    if (!outcome.failed || !diagnosis_) return;
    diagnosis_->Diagnose(*outcome.failed);
    TurnPage(kDiagnosisPage);
}

void TForm1::cxButton10Click() { ShowInformationBox(tomcat::StopTomcat(tomcat_.tomcat)); }

}  // namespace qm::ui
